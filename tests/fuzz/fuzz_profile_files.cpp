// The organisation and user profile files as the program meets them: the
// start-up check sets unreadable ones aside whole; every reader of the rest
// (the handshake cookies, the settings page, the profile window over the test
// reference lists) sees the same values; a profile chosen in the window is
// stored complete into whatever the files held. The input is Organisation.ini,
// then, after a 0x1E byte, UserInfo.ini (without one, both get the input).
#include "FuzzEnvironment.h"

#include "CookieText.h"
#include "CookiesSource.h"
#include "ProfileFile.h"
#include "StatisticsSettingsViewModel.h"
#include "StatisticsViewModel.h"
#include "UserInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

using FuzzEnvironment::fail;

namespace {

// Each cookie against the key it carries, both files read as the connection reads them.
void compareCookies(const QList<QNetworkCookie>& cookies)
{
    const ProfileFile organisation(ProfileFile::organisationFile());
    const ProfileFile user(ProfileFile::userFile());
    const QList<QPair<const char*, QString>> expected{
        {"REGION_CODE", organisation.text(QStringLiteral("Organisation/RegionCode"))},
        {"ORG_FULL_NAME", organisation.text(QStringLiteral("Organisation/OrganisationFullName"))},
        {"ORG_PSRN", organisation.text(QStringLiteral("Organisation/OrganisationPSRN"))},
        {"ORG_OID", organisation.text(QStringLiteral("Organisation/OrganisationOid"))},
        {"ROOM", organisation.text(QStringLiteral("Organisation/Room"))},
        {"USER", user.text(QStringLiteral("UserInfo/UserName"))},
        {"USER_SPEC", user.text(QStringLiteral("UserInfo/Specialisation"))},
        {"USER_IIAN", user.text(QStringLiteral("UserInfo/UserIian"))}};
    for (const auto& cookie : expected) {
        // Percent-encoding carries UTF-8: text that is not valid UTF-16 cannot come back whole.
        const QString sent = cookieText(cookies, cookie.first);
        if (sent.isNull())
            fail(QStringLiteral("no cookie ") + QLatin1String(cookie.first));
        if (FuzzEnvironment::wellFormed(cookie.second) && sent != cookie.second)
            fail(QStringLiteral("cookie %1 differs from the file").arg(QLatin1String(cookie.first)));
    }
}

void compareSettingsPage()
{
    StatisticsSettingsViewModel page;
    page.onLoad();
    const ProfileFile organisation(ProfileFile::organisationFile());
    const ProfileFile user(ProfileFile::userFile());
    if (page.get_RegionName() != organisation.text(QStringLiteral("Organisation/RegionName"))
        || page.get_Room() != organisation.text(QStringLiteral("Organisation/Room"))
        || page.get_UserFullName() != user.text(QStringLiteral("UserInfo/UserName")))
        fail(QStringLiteral("the settings page reads the files differently"));
}

// The window over the stored values, then the first entries chosen and stored.
void chooseAndStore()
{
    const QString references = QStringLiteral(SCRIVORA_TEST_REFERENCES);
    {
        StatisticsViewModel model(references, nullptr);
        const QList<QPair<int, int>> indexes{{model.get_SelectedRegionIndex(), model.get_Regions().size()},
                                             {model.get_SelectedCityIndex(), model.get_Cities().size()},
                                             {model.get_SelectedCompanyIndex(), model.get_Companies().size()},
                                             {model.get_SelectedProfessionIndex(), model.get_Professions().size()}};
        for (const auto& index : indexes) {
            if (index.first < -1 || index.first >= index.second)
                fail(QStringLiteral("a preselected index outside its list"));
        }
        if (!model.get_NeedShow())
            return;
        // The first region with an organisation, its first settlement and organisation.
        for (int region = 0; region < model.get_Regions().size() && model.get_Companies().isEmpty(); ++region) {
            model.set_SelectedRegionIndex(region);
            model.set_SelectedCityIndex(0);
        }
        model.set_SelectedCompanyIndex(0);
        model.set_SelectedProfessionIndex(0);
        model.get_WorkRoom()->set_Text(QStringLiteral("12б"));
        model.get_UserFullName()->set_Text(QStringLiteral("Иванова Анна"));
        if (!model.get_IsValid() || !model.applyCommand())
            fail(QStringLiteral("the first entries of the lists could not be stored"));
    }
    if (StatisticsViewModel(QStringLiteral("/nonexistent"), nullptr).get_NeedShow())
        fail(QStringLiteral("a stored choice counts as incomplete"));
    if (ProfileFile(ProfileFile::userFile()).text(QStringLiteral("UserInfo/UserName")) != QStringLiteral("Иванова Анна"))
        fail(QStringLiteral("the stored name reads back differently"));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const char* data, size_t size)
{
    if (size > 64 * 1024)
        return -1;
    // A fresh folder for each input: Qt caches a parsed file and trusts its size
    // and millisecond time stamp to notice a change.
    static int run = 0;
    QCoreApplication::setApplicationName(QStringLiteral("Scrivora-%1").arg(++run));
    QDir().mkpath(ProfileFile::folder());
    const QByteArray input(data, int(size));
    const int separator = input.indexOf('\x1e');
    const QByteArray organisation = separator < 0 ? input : input.left(separator);
    const QByteArray user = separator < 0 ? input : input.mid(separator + 1);
    FuzzEnvironment::writeFile(ProfileFile::organisationFile(), organisation);
    FuzzEnvironment::writeFile(ProfileFile::userFile(), user);

    const QStringList setAside = ProfileFile::setAsideUnreadable();
    for (const QString& copy : setAside) {
        const QString original = copy.left(copy.size() - int(qstrlen(".damaged")));
        if (QFile::exists(original)
            || FuzzEnvironment::readFile(copy) != (original == ProfileFile::organisationFile() ? organisation : user))
            fail(QStringLiteral("the unreadable file was not kept whole as ") + copy);
    }

    {
        CookiesSource source([]() -> const UserInfo* { return nullptr; }, 10000);
        compareCookies(source.getCookies());
    }
    compareSettingsPage();
    chooseAndStore();
    QDir(ProfileFile::folder()).removeRecursively();
    return 0;
}
