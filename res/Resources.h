#pragma once
// The program's resources: the string table, menus, accelerators, toolbar
// descriptions, dialog descriptions (.ui), icons and cursors.  They are
// compiled into the program under ":/res/"; a language resource file
// "<program stem><CODE>.rcc" beside the program, once loaded, is mapped
// under ":/lang/" and replaces every resource it holds.

#include <QByteArray>
#include <QString>

namespace res {

// The resource path of a resource given by its path below res/
// ("dialogs/d2104.ui", "menus/m1.menu"): the language file's copy when one
// is loaded and has it, else the built-in one.  Empty when neither exists.
QString Path(const QString& relative);
// The bytes of a resource; empty (and ok false) when it is missing.
QByteArray Data(const QString& relative, bool* ok = nullptr);

// The resource path of the built-in copy (":/res/<relative>") and of the
// language file's copy (":/lang/<relative>"), whether they exist or not.
QString BuiltinPath(const QString& relative);
QString LanguagePath(const QString& relative);

// Loads "<program stem><code>.rcc" from programFolder (code is a
// three-letter language code such as "ENU") and makes it the first source of
// every resource and string-table text.  False when there is no such file or
// it is not a resource file; whatever was in use before stays in use then.
// Call these on the user-interface thread.
bool LoadLanguage(const QString& programFolder, const QString& programStem, const QString& code);
void UnloadLanguage();
bool LanguageLoaded();
// The loaded language file's path; empty when none is loaded.
QString LanguageFile();

} // namespace res
