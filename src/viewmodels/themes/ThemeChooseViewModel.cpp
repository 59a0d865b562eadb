#include "ThemeChooseViewModel.h"

#include "AsrManager.h"
#include "ClientThemeInfo.h"
#include "ValidatableInt32.h"

#include <QDebug>

#include <algorithm>
#include <exception>

ThemeChooseViewModel::ThemeChooseViewModel(QObject* parent)
    : SettingsViewModel(parent)
    , themeChoices(new CollectionModel<ThemeInfoViewModel>(this))
    , selectedIndex(new ValidatableInt32(this))
{
    selectedIndex->SetText(QStringLiteral("-1"));
    selectedIndex->setValueValidator([this](ValidationArgs* args, const int& index) { ValidateThemeIndex(args, index); });
    connect(selectedIndex, &ValidatableInt32::changed_Value, this, [this] { emit changed_SelectedTheme(); });
}

ThemeChooseViewModel::~ThemeChooseViewModel() = default;

void ThemeChooseViewModel::set_AsrManager(AsrManager* manager)
{
    if (asrManager)
        disconnect(asrManager, nullptr, this, nullptr);
    asrManager = manager;
    if (asrManager)
        connect(asrManager, &AsrManager::themesFetched, this, &ThemeChooseViewModel::onThemesFetched);
}

QObject* ThemeChooseViewModel::get_SelectedValidatedThemeIndex() const
{
    return selectedIndex;
}

ThemeInfoViewModel* ThemeChooseViewModel::get_SelectedTheme() const
{
    const int index = selectedIndex->Value();
    if (index < 0 || index >= themeChoices->count())
        return nullptr;
    return themeChoices->itemAt(index);
}

QObject* ThemeChooseViewModel::selectedThemeOrNull() const
{
    try {
        return get_SelectedTheme();
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("Error in ThemeChooseViewModel::get_SelectedTheme: ")
                + QString::fromUtf8(e.what());
    }
    return nullptr;
}

void ThemeChooseViewModel::ValidateThemeIndex(ValidationArgs* args, int index)
{
    needShow = true;
    if (themeChoices->count() == 0 && asrManager && asrManager->isFetchingThemes())
        args->Error = tr("Список словарей загружается…");
    else if (themeChoices->count() == 0)
        args->Error = tr("Отсутствуют словари на сервере");
    else if (index < 0)
        args->Error = tr("Необходимо выбрать словарь");
    else
        needShow = false;
}

bool ThemeChooseViewModel::Validate()
{
    return selectedIndex->CheckAndSetFocus();
}

void ThemeChooseViewModel::Load()
{
    loaded = true;
    fill(true);
}

void ThemeChooseViewModel::Unload()
{
    loaded = false;
}

void ThemeChooseViewModel::onThemesFetched(bool ok)
{
    if (!loaded)
        return;
    QString previousId;
    if (ThemeInfoViewModel* previous = qobject_cast<ThemeInfoViewModel*>(selectedThemeOrNull()))
        previousId = previous->get_Id();
    // A failed fetch changes no list, but the reason shown for an empty one changes.
    if (ok)
        fill(false);
    emit choicesRefilled(previousId);
}

void ThemeChooseViewModel::fill(bool fetchWhenEmpty)
{
    needShow = true;
    QString rememberedId;
    if (themeChoices->count() > 0) {
        if (ThemeInfoViewModel* selected = get_SelectedTheme())
            rememberedId = selected->get_Id();
        // Delegates may still hold an entry until the event loop runs.
        for (QObject* entry : themeChoices->items())
            entry->deleteLater();
        themeChoices->clear();
    }
    if (!asrManager) {
        selectedIndex->set_IntValue(-1);
        return;
    }

    if (rememberedId.isEmpty())
        rememberedId = asrManager->getSelectedTheme().id();

    QList<ClientThemeInfo> themes = asrManager->knownThemes();
    if (themes.isEmpty() && fetchWhenEmpty)
        asrManager->fetchThemes();
    std::stable_sort(themes.begin(), themes.end(), [](const ClientThemeInfo& a, const ClientThemeInfo& b) {
        return int(a.compositionType()) > int(b.compositionType());
    });
    const bool dropPlain = std::any_of(themes.cbegin(), themes.cend(),
                                       [](const ClientThemeInfo& theme) { return int(theme.compositionType()) != 0; });

    int selection = -1;
    for (const ClientThemeInfo& theme : qAsConst(themes)) {
        if (dropPlain && int(theme.compositionType()) == 0)
            continue;
        if (!rememberedId.isEmpty() && theme.id() == rememberedId)
            selection = themeChoices->count();
        themeChoices->append(new ThemeInfoViewModel(theme, themeChoices));
    }
    if (selection < 0 && themeChoices->count() > 0)
        selection = 0;
    selectedIndex->set_IntValue(selection);
}
