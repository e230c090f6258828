#pragma once
// The command line of the program: "-Build", "-Make" and
// "-CheckTarvaneVer" (exact, case-sensitive) set the switches; any other
// flag is ignored with a line on standard error; the first non-flag
// parameter is the file to open, further ones are ignored with a line on
// standard error.  "/" starts no flag: it starts absolute paths.

#include <QString>
#include <QStringList>

class CAppCommandLineInfo
{
public:
    enum ShellCommand { FileNew, FileOpen, FileNothing };

    // Called for every parameter; flag parameters come without their
    // leading "-" or "--".
    virtual void ParseParam(const QString& param, bool isFlag, bool isLast);
    virtual ~CAppCommandLineInfo() = default;
    // Parses the parameters after the program name.
    void Parse(const QStringList& params);

    bool Build = false;
    bool Make = false;
    bool CheckTarvaneVer = false;
    ShellCommand m_nShellCommand = FileNew;
    QString m_strFileName;
    // The lines written to standard error (also kept for tests).
    QStringList m_warnings;

private:
    void ParseFlag(const QString& flag);
    void ParseFileName(const QString& name);
    void ParseLast(bool isLast);
    void Warn(const QString& text);
};
