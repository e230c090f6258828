#pragma once
// The project's communication with the control system, owned by the
// project document: opening the link with the project's connection string,
// the debug start, the file manager and the transfers of the PLC interface,
// the cassette software, the compiler files and the support files, with
// the link's windows.  The document keeps the public functions and forwards
// to it.  See docs/transfers.md.

class CStrandworkDoc;

class CProjectTransfer
{
public:
    explicit CProjectTransfer(CStrandworkDoc& doc) : m_doc(doc) {}
    CProjectTransfer(const CProjectTransfer&) = delete;
    CProjectTransfer& operator=(const CProjectTransfer&) = delete;

    bool StartCommunication();
    bool StartDebugging();
    void ShowFileManager();
    bool TransferPlcInterface(bool compare);
    bool UpdateControlSystemSoftware();
    // noCompiler: set when the fetch brought no compiler and replaced nothing.
    bool TransferCompilerFiles(bool* noCompiler = nullptr);
    bool TransferSupportFiles();

private:
    CStrandworkDoc& m_doc;
};
