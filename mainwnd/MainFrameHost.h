#pragma once
// What the main frame needs of the application beyond the project host: the
// flag that makes the application drop the toolbar library's stored
// workspace at exit (set after a change of the interface language) and
// whether the language file of a language is there to change to.  The
// application implements it and registers itself while it lives; the frame
// never includes the application's own headers.

#include <QString>

class MainFrameHost
{
public:
    virtual ~MainFrameHost() = default;
    virtual void SetResetWorkspace(bool on) = 0;
    // Whether the language file of code ("CSY", "ENU") is where the
    // start-up looks for it.
    virtual bool HasLanguageFile(const QString& code) const = 0;

    // The registered host, or null.
    static MainFrameHost* Instance() { return s_host; }
    static void Register(MainFrameHost* host) { s_host = host; }
    static void Unregister(MainFrameHost* host)
    {
        if (s_host == host)
            s_host = nullptr;
    }

private:
    static inline MainFrameHost* s_host = nullptr;
};
