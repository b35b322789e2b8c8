#include "ui/search/search_history.h"

#include <QSettings>

namespace tw::ui {
namespace {

// A target's group: its name's bytes in hexadecimal, since a settings key
// cannot hold every character a name may have.
QString group_of(const QString& target) { return QString::fromLatin1(target.toUtf8().toHex()); }

}  // namespace

QString SearchHistory::path() const { return dir_ + QStringLiteral("/TW_search_history"); }

QStringList SearchHistory::entries(const QString& target) const {
    QSettings file(path(), QSettings::IniFormat);
    QStringList list = file.value(group_of(target) + QStringLiteral("/strings")).toStringList();
    if (list.size() > kMaxEntries) list.resize(kMaxEntries);
    return list;
}

bool SearchHistory::add(const QString& target, const QString& text) const {
    if (text.isEmpty()) return true;
    QStringList list = entries(target);
    list.removeAll(text);
    list.prepend(text);
    if (list.size() > kMaxEntries) list.resize(kMaxEntries);
    QSettings file(path(), QSettings::IniFormat);
    file.setValue(group_of(target) + QStringLiteral("/strings"), list);
    file.sync();
    return file.status() == QSettings::NoError;
}

}  // namespace tw::ui
