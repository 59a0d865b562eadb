#pragma once

#include <QString>

// Where the organisation and user profile lies: "Organisation.ini" (group
// Organisation) and "UserInfo.ini" (group UserInfo), INI files in the
// application's configuration folder.
class ProfileFiles
{
public:
    static QString organisationFile();
    static QString userFile();
};
