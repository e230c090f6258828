#include "app/AppCommandLineInfo.h"

#include <cstdio>

void CAppCommandLineInfo::Warn(const QString& text)
{
    m_warnings << text;
    std::fprintf(stderr, "strandwork: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

void CAppCommandLineInfo::ParseParam(const QString& param, bool isFlag, bool isLast)
{
    if (isFlag) {
        if (param == QLatin1String("Build"))
            Build = true;
        else if (param == QLatin1String("Make"))
            Make = true;
        else if (param == QLatin1String("CheckTarvaneVer"))
            CheckTarvaneVer = true;
        if (param != QLatin1String("CheckTarvaneVer"))
            ParseFlag(param);
    } else {
        ParseFileName(param);
    }
    ParseLast(isLast);
}

void CAppCommandLineInfo::ParseFlag(const QString& flag)
{
    // The framework knows no flags of its own.
    if (flag == QLatin1String("Build") || flag == QLatin1String("Make"))
        return;
    Warn(QStringLiteral("unknown option \"%1\" ignored").arg(flag));
}

void CAppCommandLineInfo::ParseFileName(const QString& name)
{
    if (m_strFileName.isEmpty()) {
        m_strFileName = name;
        return;
    }
    Warn(QStringLiteral("extra file name \"%1\" ignored").arg(name));
}

void CAppCommandLineInfo::ParseLast(bool isLast)
{
    if (isLast && m_nShellCommand == FileNew && !m_strFileName.isEmpty())
        m_nShellCommand = FileOpen;
}

void CAppCommandLineInfo::Parse(const QStringList& params)
{
    for (int i = 0; i < params.size(); ++i) {
        const QString& p = params[i];
        const bool last = i + 1 == params.size();
        if (p.startsWith(QLatin1Char('-'))) {
            const QString name = p.startsWith(QLatin1String("--")) ? p.mid(2) : p.mid(1);
            ParseParam(name, true, last);
        } else {
            ParseParam(p, false, last);
        }
    }
}
