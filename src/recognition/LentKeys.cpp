#include "LentKeys.h"

#include <algorithm>

namespace {
constexpr unsigned shiftMask = 0x01;
constexpr unsigned mod3Mask = 0x20;
constexpr unsigned mod5Mask = 0x80;

// A key type of four levels picked by Shift and one more modifier that no
// program takes for a shortcut (Mod3 or Mod5): a spare keycode of that type
// holds four characters. -1 when the map has none.
int findFourLevelType(const KeymapDescription& map, unsigned* thirdLevelMask)
{
    for (int index = 0; index < map.types.size(); ++index) {
        const KeymapDescription::KeyType& type = map.types[index];
        if (type.levels != 4)
            continue;
        const unsigned other = type.modifiers & ~shiftMask;
        if (other != mod5Mask && other != mod3Mask)
            continue;
        int reached = 0;
        for (const KeymapDescription::TypeEntry& entry : type.entries) {
            if (!entry.active)
                continue;
            if ((entry.modifiers == shiftMask && entry.level == 1) || (entry.modifiers == other && entry.level == 2)
                || (entry.modifiers == (shiftMask | other) && entry.level == 3))
                ++reached;
        }
        if (reached == 3) {
            *thirdLevelMask = other;
            return index;
        }
    }
    return -1;
}

// The keysyms of a keycode's first group, when it has one group only.
QVector<unsigned long> singleGroupKeysyms(const KeymapDescription& map, int keycode)
{
    const KeymapDescription::Key* key = map.key(keycode);
    if (!key || key->groups.size() != 1)
        return {};
    return key->groups[0].keysyms;
}
} // namespace

void LentKeys::update(const KeymapDescription& map)
{
    fourLevelType = findFourLevelType(map, &levelThreeMask);
    const int levels = fourLevelType >= 0 ? 4 : 2;
    QVector<Slot> found;
    QVector<quint8> kept;
    for (const Slot& slot : qAsConst(spare)) {
        if (slot.keysym == 0 || kept.contains(slot.keycode))
            continue;
        const QVector<unsigned long> held = singleGroupKeysyms(map, slot.keycode);
        const bool holds = std::all_of(spare.cbegin(), spare.cend(), [&](const Slot& sibling) {
            return sibling.keycode != slot.keycode || sibling.keysym == 0 || held.value(sibling.level) == sibling.keysym;
        });
        if (!holds)
            continue;
        kept << slot.keycode;
        for (const Slot& sibling : qAsConst(spare)) {
            if (sibling.keycode == slot.keycode)
                found << sibling;
        }
    }
    // XKB's modifier map is the core one: a keycode on it is a modifier key.
    for (const KeymapDescription::Key& key : map.keys) {
        if (!key.groups.isEmpty() || key.modifiers != 0)
            continue;
        for (int level = 0; level < levels; ++level) {
            Slot slot;
            slot.keycode = static_cast<quint8>(key.keycode);
            slot.level = static_cast<quint8>(level);
            for (const Slot& before : qAsConst(spare)) {
                if (before.keycode == slot.keycode && before.level == slot.level) {
                    slot.lastUse = before.lastUse;
                    slot.lastUseWindow = before.lastUseWindow;
                }
            }
            found << slot;
        }
    }
    spare = found;
}

bool LentKeys::isSpareKeycode(int keycode) const
{
    return std::any_of(spare.cbegin(), spare.cend(), [keycode](const Slot& slot) { return slot.keycode == keycode; });
}

unsigned LentKeys::levelState(int level) const
{
    return ((level & 1) ? shiftMask : 0) | ((level & 2) ? levelThreeMask : 0);
}

int LentKeys::holding(unsigned long keysym) const
{
    for (int i = 0; i < spare.size(); ++i) {
        if (spare[i].keysym == keysym)
            return i;
    }
    return -1;
}

bool LentKeys::anyLent() const
{
    return std::any_of(spare.cbegin(), spare.cend(), [](const Slot& slot) { return slot.keysym != 0; });
}

void LentKeys::used(int index, quint64 key, unsigned long window)
{
    spare[index].lastUse = key;
    spare[index].lastUseWindow = window;
}

LentKeys::Lending LentKeys::lend(const QVector<unsigned long>& needed, const Receivers& receivers, qint64 nowUs,
                                 qint64 readyAtUs)
{
    Lending lending;
    QVector<unsigned long> missing;
    for (unsigned long keysym : needed) {
        if (holding(keysym) < 0)
            missing << keysym;
    }
    if (missing.isEmpty())
        return lending;
    QVector<int> candidates;
    for (int i = 0; i < spare.size(); ++i) {
        if (!needed.contains(spare[i].keysym))
            candidates << i;
    }
    std::stable_sort(candidates.begin(), candidates.end(), [this](int a, int b) {
        return std::make_pair(spare[a].keysym != 0, spare[a].lastUse) < std::make_pair(spare[b].keysym != 0, spare[b].lastUse);
    });
    int wait = 0;
    for (int candidate : qAsConst(candidates)) {
        if (lending.taken.size() == missing.size())
            break;
        const int untilFree = msUntilFree(spare[candidate], receivers, nowUs);
        if (untilFree == 0)
            lending.taken << candidate;
        else
            wait = wait == 0 ? untilFree : std::min(wait, untilFree);
    }
    if (lending.taken.isEmpty()) {
        lending.waitMs = std::max(wait, 1);
        return lending;
    }
    for (int i = 0; i < lending.taken.size(); ++i) {
        Slot& slot = spare[lending.taken[i]];
        lending.before << slot.keysym;
        if (!lending.keycodes.contains(slot.keycode))
            lending.keycodes << slot.keycode;
        slot.keysym = missing[i];
        slot.readyAtUs = readyAtUs;
    }
    return lending;
}

void LentKeys::undo(const Lending& lending)
{
    for (int i = 0; i < lending.taken.size(); ++i)
        spare[lending.taken[i]].keysym = lending.before[i];
}

LentKeys::Contents LentKeys::contents(const QVector<quint8>& keycodes) const
{
    Contents contents;
    for (quint8 keycode : keycodes)
        contents.insert(keycode, {});
    for (const Slot& slot : spare) {
        auto it = contents.find(slot.keycode);
        if (it == contents.end() || slot.keysym == 0)
            continue;
        if (it->size() <= slot.level)
            it->resize(slot.level + 1);
        (*it)[slot.level] = slot.keysym;
    }
    return contents;
}

LentKeys::Contents LentKeys::takeBackAll()
{
    QVector<quint8> lent;
    for (Slot& slot : spare) {
        if (slot.keysym == 0)
            continue;
        slot.keysym = 0;
        if (!lent.contains(slot.keycode))
            lent << slot.keycode;
    }
    return contents(lent);
}

int LentKeys::msUntilFree(const Slot& slot, const Receivers& receivers, qint64 nowUs) const
{
    if (slot.lastUse == 0)
        return 0;
    const auto it = receivers.constFind(slot.lastUseWindow);
    if (it == receivers.cend() || it->readUpTo(nowUs) >= slot.lastUse)
        return 0;
    const int assumed = waitMs(it->assumedReadAtUs(slot.lastUse) - nowUs);
    return it->canPing() ? std::min(AnswerPollMs, assumed) : assumed;
}

int LentKeys::msUntilAllFree(const Receivers& receivers, qint64 nowUs) const
{
    int wait = 0;
    for (const Slot& slot : spare) {
        if (slot.keysym != 0)
            wait = std::max(wait, msUntilFree(slot, receivers, nowUs));
    }
    return wait;
}

QVector<quint8> LentKeys::stillHolding(const KeymapDescription& map, const Contents& left)
{
    QVector<quint8> back;
    for (auto it = left.cbegin(); it != left.cend(); ++it) {
        const QVector<unsigned long> held = singleGroupKeysyms(map, it.key());
        const bool ours = std::any_of(held.cbegin(), held.cend(), [](unsigned long k) { return k != 0; })
            && std::all_of(held.cbegin(), held.cend(), [&it](unsigned long k) { return k == 0 || it.value().contains(k); });
        if (ours)
            back << it.key();
    }
    return back;
}

int LentKeys::waitMs(qint64 us)
{
    return static_cast<int>(std::max<qint64>(1, (us + 999) / 1000));
}
