#include "StatisticsViewModel.h"

#include "AppVariables.h"
#include "ProfileFile.h"
#include "PropertyChange.h"
#include "StatisticsSettings.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <iterator>

const QRegExp StatisticsViewModel::m_validateWorkRoomegEx(QStringLiteral("[^!\"№#$%^&*+=~`';:]+"), Qt::CaseSensitive,
                                                            QRegExp::RegExp);
const QRegExp StatisticsViewModel::m_validateUserFullNameRegEx(
    QStringLiteral("^((\\([А-яЁё]+([-–`][А-яЁё]+)*\\))|([А-яЁё]+([-–`][А-яЁё]+)*)|([А-яЁё]\\.*)|[IV]+)$"),
    Qt::CaseSensitive, QRegExp::RegExp);

namespace {
const QString RegionsFile = QStringLiteral("Regions.json");
const QString ClinicsFile = QStringLiteral("Clinics.json");
const QString SpecialisationsFile = QStringLiteral("Specialisations.json");

QString readText(const ProfileFile& file, const char* key)
{
    return file.text(QLatin1String(key));
}

void warnRejected(const char* what, int rejected, int total)
{
    if (rejected > 0)
        qWarning().noquote() << QStringLiteral("%1: %2/%3").arg(QLatin1String(what)).arg(rejected).arg(total);
}
} // namespace

StatisticsViewModel::StatisticsViewModel(QObject* parent)
    : StatisticsViewModel(defaultReferenceFolder(), parent)
{
}

StatisticsViewModel::StatisticsViewModel(const QString& referenceFolder, QObject* parent)
    : QObject(parent)
    , organisationFilePath(ProfileFile::organisationFile())
    , userFilePath(ProfileFile::userFile())
    , referenceFolder(referenceFolder)
{
    set_LogoHeight(AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("LogoHeight")).toInt());
    enabled = StatisticsSettings().FillOrganisationUserInfo;
    needShow = CheckNeedShow();

    workRoom = new ValidatableText(this);
    workRoom->setTextValidator(&StatisticsViewModel::ValidateWorkRoom);
    userFullName = new ValidatableText(this);
    userFullName->setTextValidator(&StatisticsViewModel::ValidateUserFullName);

    connect(this, &StatisticsViewModel::changed_SelectedRegionIndex, this, &StatisticsViewModel::isRegionSelectedChanged);
    connect(this, &StatisticsViewModel::changed_SelectedCityIndex, this, &StatisticsViewModel::isCitySelectedChanged);
    connect(this, &StatisticsViewModel::changed_SelectedCompanyIndex, this,
            &StatisticsViewModel::isCompanySelectedChanged);
    connect(this, &StatisticsViewModel::changed_SelectedRegionIndex, this, &StatisticsViewModel::isValidChanged);
    connect(this, &StatisticsViewModel::changed_SelectedCityIndex, this, &StatisticsViewModel::isValidChanged);
    connect(this, &StatisticsViewModel::changed_SelectedCompanyIndex, this, &StatisticsViewModel::isValidChanged);
    connect(this, &StatisticsViewModel::changed_SelectedProfessionIndex, this, &StatisticsViewModel::isValidChanged);
    connect(workRoom, &ValidatableText::changed_IsValid, this, &StatisticsViewModel::isValidChanged);
    connect(userFullName, &ValidatableText::changed_IsValid, this, &StatisticsViewModel::isValidChanged);

    if (needShow)
        Load();
}

StatisticsViewModel::~StatisticsViewModel() = default;

QString StatisticsViewModel::defaultReferenceFolder()
{
    // Named from the program's folder, so that it holds wherever the program was installed.
    const QString folder = AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("ReferenceFolderLocation"));
    return QDir::cleanPath(AppVariables::sm_stdVars.substitute(folder));
}

QJsonArray StatisticsViewModel::LoadJsonArray(const QString& path)
{
    QFile file(path);
    if (!file.exists()) {
        qWarning().noquote() << "json file was not found " + path;
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "Failed to open json file, maybe its used by another process! " + path;
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (document.isNull() || !document.isObject()) {
        qWarning().noquote() << "Failed to parse json file " + path + "   " + error.errorString();
        return {};
    }
    const QJsonValue records = document.object().value(QStringLiteral("records"));
    if (!records.isArray()) {
        qWarning().noquote()
            << "json file has incorrect format, root expected to be 'records' element with list inside of it " + path;
        return {};
    }
    return records.toArray();
}

bool StatisticsViewModel::get_IsValid() const
{
    return selectedRegionIndex >= 0 && selectedCityIndex >= 0 && selectedCompanyIndex >= 0
        && selectedProfessionIndex >= 0 && workRoom->get_IsValid() && userFullName->get_IsValid();
}

bool StatisticsViewModel::CheckNeedShow() const
{
    if (!enabled)
        return false;
    const ProfileFile organisation(organisationFilePath);
    const ProfileFile user(userFilePath);
    // An organisation is named by its short or its full name: records with
    // only one of them must not bring the window back at every start.
    return readText(organisation, "Organisation/RegionCode").toInt() < 1
        || readText(organisation, "Organisation/RegionName").isEmpty()
        || readText(organisation, "Organisation/AreaName").isEmpty()
        || (readText(organisation, "Organisation/OrganisationName").isEmpty()
            && readText(organisation, "Organisation/OrganisationFullName").isEmpty())
        || readText(user, "UserInfo/UserName").isEmpty() || readText(user, "UserInfo/Specialisation").isEmpty();
}

void StatisticsViewModel::Load()
{
    if (!enabled)
        return;
    // Most installations have no lists: nothing has gone wrong then.
    if (!QFileInfo(referenceFolder).isDir()) {
        qInfo().noquote() << "No reference lists in " + referenceFolder + ": the profile window is not offered";
        changeProperty(this, needShow, false, &StatisticsViewModel::changed_NeedShow);
        return;
    }
    if (!LoadRegions() || !LoadCitiesAndOrganisations() || !LoadProfessions()) {
        // Without the lists the form cannot be completed: offering it at every
        // start would only bring back an empty window. The list's fault is logged already.
        qInfo().noquote() << "Failed to load regions or organisations from file " + referenceFolder
                + "; the profile window is not offered";
        changeProperty(this, needShow, false, &StatisticsViewModel::changed_NeedShow);
        return;
    }
    for (StatisticsRegion& region : regionMap) {
        for (StatisticsCity& city : region.Cities)
            city.SortOrganisations();
    }
    selectStoredProfile();
}

void StatisticsViewModel::selectStoredProfile()
{
    const ProfileFile user(userFilePath);
    userFullName->set_Text(readText(user, "UserInfo/UserName"));
    const QString specialisation = readText(user, "UserInfo/Specialisation");
    for (int i = 0; i < professionRecords.size(); ++i) {
        if (professionRecords.at(i).Name == specialisation) {
            set_SelectedProfessionIndex(i);
            break;
        }
    }

    const ProfileFile organisation(organisationFilePath);
    const int regionCode = readText(organisation, "Organisation/RegionCode").toInt();
    const QString areaName = readText(organisation, "Organisation/AreaName");
    const QString organisationName = readText(organisation, "Organisation/OrganisationName");
    const QString organisationFullName = readText(organisation, "Organisation/OrganisationFullName");
    workRoom->set_Text(readText(organisation, "Organisation/Room"));

    int regionIndex = -1;
    int cityIndex = -1;
    int organisationIndex = -1;
    const auto found = regionMap.constFind(regionCode);
    if (found != regionMap.cend()) {
        regionIndex = int(std::distance(regionMap.cbegin(), found));
        const QList<StatisticsCity>& cityList = found->Cities;
        for (int c = 0; c < cityList.size() && cityIndex < 0; ++c) {
            if (cityList.at(c).Name == areaName)
                cityIndex = c;
        }
        if (cityIndex >= 0) {
            const QList<StatisticsOrganisation>& organisations = cityList.at(cityIndex).Organisations;
            for (int o = 0; o < organisations.size() && organisationIndex < 0; ++o) {
                const StatisticsOrganisation& candidate = organisations.at(o);
                if (candidate.Name == organisationName
                    || (!organisationFullName.isEmpty() && candidate.FullName == organisationFullName))
                    organisationIndex = o;
            }
        }
    }
    set_SelectedRegionIndex(regionIndex);
    set_SelectedCityIndex(cityIndex);
    set_SelectedCompanyIndex(organisationIndex);
    isValidChanged();
}

bool StatisticsViewModel::LoadRegions()
{
    regionMap.clear();
    const QJsonArray array = LoadJsonArray(referenceFolder + QDir::separator() + RegionsFile);
    QList<StatisticsRegion> kept;
    for (const QJsonValue& element : array) {
        StatisticsRegion region(element);
        if (region.IsValid)
            kept.append(region);
    }
    warnRejected("Invalid regions", array.size() - kept.size(), array.size());
    std::stable_sort(kept.begin(), kept.end(), [](const StatisticsRegion& a, const StatisticsRegion& b) {
        return a.DisplayName < b.DisplayName;
    });
    // Of several records with one code, the one whose display name sorts last stays.
    for (const StatisticsRegion& region : qAsConst(kept))
        regionMap.insert(region.Id, region);

    QStringList names;
    for (const StatisticsRegion& region : qAsConst(regionMap))
        names.append(region.DisplayName);
    set_Regions(names);
    return !regions.isEmpty();
}

bool StatisticsViewModel::LoadCitiesAndOrganisations()
{
    const QJsonArray array = LoadJsonArray(referenceFolder + QDir::separator() + ClinicsFile);
    int taken = 0;
    for (const QJsonValue& element : array) {
        const StatisticsOrganisation organisation(element);
        const auto region = regionMap.find(organisation.RegionId);
        if (!organisation.IsValid || organisation.OrganizationType != 1 || region == regionMap.end())
            continue;
        // Organisations without a settlement are filed under one named like their region.
        region->GetCity(organisation.HasAreaName ? organisation.AreaName : region->Name).Organisations.append(organisation);
        ++taken;
    }
    warnRejected("Invalid organisations", array.size() - taken, array.size());
    return !array.isEmpty() && taken > 0;
}

bool StatisticsViewModel::LoadProfessions()
{
    professions.clear();
    professionRecords.clear();
    const QJsonArray array = LoadJsonArray(referenceFolder + QDir::separator() + SpecialisationsFile);
    for (const QJsonValue& element : array) {
        const StatisticsProfession profession(element);
        if (profession.IsValid && profession.Parent == QLatin1String("0"))
            professionRecords.append(profession);
    }
    warnRejected("Invalid professions", array.size() - professionRecords.size(), array.size());
    std::stable_sort(professionRecords.begin(), professionRecords.end(),
                     [](const StatisticsProfession& a, const StatisticsProfession& b) {
                         return a.Name.toUpper() < b.Name.toUpper();
                     });
    QStringList names;
    for (const StatisticsProfession& profession : qAsConst(professionRecords))
        names.append(profession.Name);
    set_Professions(names);
    return !professions.isEmpty();
}

const StatisticsRegion* StatisticsViewModel::regionAt(int index) const
{
    if (index < 0 || index >= regionMap.size())
        return nullptr;
    return &*std::next(regionMap.cbegin(), index);
}

const StatisticsCity* StatisticsViewModel::cityAt(int regionIndex, int cityIndex) const
{
    const StatisticsRegion* region = regionAt(regionIndex);
    if (!region || cityIndex < 0 || cityIndex >= region->Cities.size())
        return nullptr;
    return &region->Cities.at(cityIndex);
}

const StatisticsOrganisation* StatisticsViewModel::organisationAt(int regionIndex, int cityIndex,
                                                                  int organisationIndex) const
{
    const StatisticsCity* city = cityAt(regionIndex, cityIndex);
    if (!city || organisationIndex < 0 || organisationIndex >= city->Organisations.size())
        return nullptr;
    return &city->Organisations.at(organisationIndex);
}

void StatisticsViewModel::ValidateWorkRoom(ValidationArgs* args)
{
    const QString& text = args->Text;
    if (text.isEmpty())
        return;
    if (text.size() > 10)
        args->Error = QStringLiteral("Название кабинета не может превышать 10 символов");
    else if (!m_validateWorkRoomegEx.exactMatch(text))
        args->Error = QStringLiteral("Недопустимые символы: ! \" № # $ % ^ & * + = ~ ' ; :");
}

void StatisticsViewModel::ValidateUserFullName(ValidationArgs* args)
{
    const QString& text = args->Text;
    const int opening = text.count(QLatin1Char('('));
    const int closing = text.count(QLatin1Char(')'));
    const QStringList words = text.split(QLatin1Char(' '));
    if (text.isEmpty())
        args->Error = QStringLiteral("Поле обязательно для заполнения!");
    else if (text.size() > 255)
        args->Error = QStringLiteral("ФИО не может превышать 255 символов");
    else if (opening > closing)
        args->Error = QStringLiteral("Пропущена закрывающая скобка");
    else if (opening < closing)
        args->Error = QStringLiteral("Не проставлена открывающая скобка");
    else if (words.contains(QString()))
        args->Error = QStringLiteral(
            "Каждое слово должно быть разделено одним пробелом, без лишних пробелов в начале или в конце");
    else if (words.size() < 2)
        args->Error = QStringLiteral("Укажите ФИО полностью");
    else if (!std::all_of(words.cbegin(), words.cend(),
                          [](const QString& word) { return m_validateUserFullNameRegEx.exactMatch(word); }))
        args->Error = QStringLiteral("Некорректное ФИО");
}

bool StatisticsViewModel::applyCommand()
{
    // The fields are checked again: the window may offer the button on a stale verdict.
    const bool fieldsValid = workRoom->CheckAndSetFocus() && userFullName->CheckAndSetFocus();
    const StatisticsRegion* region = regionAt(selectedRegionIndex);
    const StatisticsCity* city = cityAt(selectedRegionIndex, selectedCityIndex);
    const StatisticsOrganisation* organisation =
        organisationAt(selectedRegionIndex, selectedCityIndex, selectedCompanyIndex);
    if (!fieldsValid || !organisation || selectedProfessionIndex < 0 || selectedProfessionIndex >= professionRecords.size())
        return false;

    ProfileFile organisationFile(organisationFilePath);
    organisationFile.keepReadValues();
    organisationFile.setValue(QStringLiteral("Organisation/RegionCode"), region->Id);
    organisationFile.setValue(QStringLiteral("Organisation/RegionName"), region->Name);
    // The settlement: the organisation's area name, or its region's name when it has none.
    organisationFile.setValue(QStringLiteral("Organisation/AreaName"), city->Name);
    organisationFile.setValue(QStringLiteral("Organisation/OrganisationName"), organisation->ShortName);
    organisationFile.setValue(QStringLiteral("Organisation/OrganisationFullName"), organisation->FullName);
    organisationFile.setValue(QStringLiteral("Organisation/OrganisationOid"), organisation->Oid);
    organisationFile.setValue(QStringLiteral("Organisation/OrganisationPSRN"), organisation->Psrn);
    organisationFile.setValue(QStringLiteral("Organisation/Room"), workRoom->get_Text());
    organisationFile.sync();

    ProfileFile userFile(userFilePath);
    userFile.keepReadValues();
    userFile.setValue(QStringLiteral("UserInfo/UserName"), userFullName->get_Text());
    userFile.setValue(QStringLiteral("UserInfo/Specialisation"), professionRecords.at(selectedProfessionIndex).Name);
    userFile.sync();

    // A format error only says that a line of the earlier content could not be
    // read: the file is written all the same, without it.
    if (organisationFile.status() == QSettings::AccessError || userFile.status() == QSettings::AccessError) {
        qWarning().noquote() << "The profile could not be written to " + QFileInfo(organisationFilePath).path();
        return false;
    }
    needShow = false;
    return true;
}

void StatisticsViewModel::set_LogoHeight(int value)
{
    changeProperty(this, logoHeight, value, &StatisticsViewModel::changed_LogoHeight);
}

void StatisticsViewModel::set_Regions(QStringList value)
{
    changeProperty(this, regions, value, &StatisticsViewModel::changed_Regions);
}

void StatisticsViewModel::set_Cities(QStringList value)
{
    changeProperty(this, cities, value, &StatisticsViewModel::changed_Cities);
}

void StatisticsViewModel::set_Companies(QStringList value)
{
    changeProperty(this, companies, value, &StatisticsViewModel::changed_Companies);
}

void StatisticsViewModel::set_Professions(QStringList value)
{
    changeProperty(this, professions, value, &StatisticsViewModel::changed_Professions);
}

void StatisticsViewModel::setIndex(int& stored, int value, int count, void (StatisticsViewModel::*changed)(int))
{
    changeProperty(this, stored, value >= 0 && value < count ? value : -1, changed);
}

void StatisticsViewModel::set_SelectedRegionIndex(int value)
{
    setIndex(selectedRegionIndex, value, regions.size(), &StatisticsViewModel::changed_SelectedRegionIndex);
}

void StatisticsViewModel::set_SelectedCityIndex(int value)
{
    setIndex(selectedCityIndex, value, cities.size(), &StatisticsViewModel::changed_SelectedCityIndex);
}

void StatisticsViewModel::set_SelectedCompanyIndex(int value)
{
    setIndex(selectedCompanyIndex, value, companies.size(), &StatisticsViewModel::changed_SelectedCompanyIndex);
}

void StatisticsViewModel::set_SelectedProfessionIndex(int value)
{
    setIndex(selectedProfessionIndex, value, professions.size(), &StatisticsViewModel::changed_SelectedProfessionIndex);
}

void StatisticsViewModel::set_WorkRoom(ValidatableText* value)
{
    changeProperty(this, workRoom, value, &StatisticsViewModel::changed_WorkRoom);
}

void StatisticsViewModel::set_UserFullName(ValidatableText* value)
{
    changeProperty(this, userFullName, value, &StatisticsViewModel::changed_UserFullName);
}

void StatisticsViewModel::isRegionSelectedChanged()
{
    if (const StatisticsRegion* region = regionAt(selectedRegionIndex)) {
        QStringList names;
        for (const StatisticsCity& city : region->Cities)
            names.append(city.Name);
        set_Cities(names);
        if (selectedCityIndex != -1)
            set_SelectedCityIndex(-1);
        if (selectedCompanyIndex != -1)
            set_SelectedCompanyIndex(-1);
    }
    emit changed_IsRegionSelected(selectedRegionIndex >= 0);
}

void StatisticsViewModel::isCitySelectedChanged()
{
    if (const StatisticsCity* city = cityAt(selectedRegionIndex, selectedCityIndex)) {
        QStringList names;
        for (const StatisticsOrganisation& organisation : city->Organisations)
            names.append(organisation.Name);
        set_Companies(names);
        if (selectedCompanyIndex != -1)
            set_SelectedCompanyIndex(-1);
    }
    emit changed_IsCitySelected(selectedCityIndex >= 0);
}

void StatisticsViewModel::isCompanySelectedChanged()
{
    emit changed_IsCompanySelected(selectedCompanyIndex >= 0);
}

void StatisticsViewModel::isValidChanged()
{
    emit changed_IsValid(get_IsValid());
}
