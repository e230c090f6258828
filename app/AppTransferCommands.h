#pragma once
// The transfer, debugging and connection commands of the Project menu
// (33850-33855, 33857, 33858).  The application owns one and maps them with
// Map(); their update rules are those of AppCommandRules.h.
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
