#pragma once
// The transfer, debugging and connection commands of the Project menu
// (ID_TRANSFER_PLC .. ID_CONNECT_TOGGLE, ID_TRANSFER_CASSETTE_SOFTWARE, ID_TRANSFER_COMPILER_FILES).
// The application owns one and maps them with Map(); their update rules are those of AppCommandRules.h.
// See docs/application.md.

class CStrandworkApp;

class CAppTransferCommands
{
public:
    explicit CAppTransferCommands(CStrandworkApp& app);
    CAppTransferCommands(const CAppTransferCommands&) = delete;
    CAppTransferCommands& operator=(const CAppTransferCommands&) = delete;

    void Map();

    void OnTransferPlc();
    void OnTransferSupportFiles();
    void OnDebugToggle();
    void OnDebugStart();
    void OnDebugStop();
    void OnConnectToggle();
    void OnTransferCassetteSoftware();
    void OnTransferCompilerFiles();

private:
    CStrandworkApp& m_app;
};
