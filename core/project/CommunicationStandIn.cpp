// Interim: opening the project's link until the communication commands
// land with their reporting.
#include "core/project/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"

bool CStrandworkDoc::StartCommunication()
{
    COlnkLink& link = Link();
    if (link.IsConnected())
        return true;
    if (link.Open(333, m_data.OlnkConnectionString.c_str(), 1000) && link.InitInterface(0) &&
        link.InitInterface(1) && link.InitInterface(2) && link.InitInterface(258) && link.Start())
        return true;
    link.Close();
    return false;
}
