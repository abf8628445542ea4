#pragma once
// Texts for the user that are made where no language engine is at hand (src/core has none): an error of a
// file operation, a late disk-write report. Such a text is a key, its English default and the values of
// its places, and it is put into the chosen language only where it is shown (the main window's error
// report), through the language engine's getText.
//
// How to add a message:
//   1. Declare its key with the English default below, beside the others (`sbmsg::...`), and list it in
//      `sbmsg::all` so that the test of the shipped language files demands it in every one of them.
//   2. Raise it as `throw SbError(SbText(sbmsg::yourKey, {path, osReason(errno)}))`. Places %1..%9 are
//      filled in one pass, so a value holding "%2" (a file name may) is never filled again.
//   3. Add the key with its translation to Lang/English.lng, Lang/German.lng and Lang/Russian.lng.
// A value is a plain text (a path, a number), shown as it is, or itself a keyed text (an OS reason).
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <vector>

// A language key and its English default.
struct SbTextKey {
    const char* key;
    const char* english;
};

class SbText {
public:
    // Looks a key up in the chosen language: returns the key's text, or `english` when there is none.
    using Lookup = std::function<QString(const QString& key, const QString& english)>;

    SbText() = default;
    // A value shown as it is, never looked up.
    SbText(const QString& plain) : FEnglish(plain) {} // NOLINT: implicit on purpose, values read naturally
    SbText(const char* plain) = delete;               // a literal is either a key or a QString value
    SbText(const SbTextKey& key, std::initializer_list<SbText> args = {});

    // The parts one after the other (at most nine), each put into the language on its own.
    static SbText joined(std::initializer_list<SbText> parts);

    bool isKeyed() const { return !FKey.isEmpty(); }
    QString key() const { return FKey; }
    const std::vector<SbText>& args() const { return FArgs; }

    // The text in English (what the log and stderr show).
    QString english() const { return toString({}); }
    // The text in the language of `lookup`, its values put in likewise; English without a lookup.
    QString toString(const Lookup& lookup) const;

    // Puts args[n-1] in the place of each %n (1 to 9) of `pattern` in one pass; a place without a value
    // stays as it is.
    static QString fill(const QString& pattern, const QStringList& args);

private:
    QString FKey;
    QString FEnglish;
    std::vector<SbText> FArgs;
};

// The reason of a failed system call, from its errno value: a keyed text for the reasons a user meets
// (no space, no permission, ...), the system's own English text for the rest.
SbText osReason(int err);

// An error raised to the caller with a text for the user (a folder that cannot be created, a folder that
// cannot be listed, a settings file that cannot be read or written...). Caught at the boundary of the
// user action that started the operation and shown in a message box, in the chosen language.
class SbError : public std::runtime_error {
public:
    explicit SbError(const SbText& message)
        : std::runtime_error(message.english().toStdString()), FMessage(message) {}
    // A text that is not translated; prefer a keyed SbText for anything the user sees.
    explicit SbError(const QString& text) : SbError(SbText(text)) {}
    explicit SbError(const char* text) : SbError(QString::fromUtf8(text)) {}
    const SbText& message() const { return FMessage; }
    QString text() const { return QString::fromStdString(what()); }

private:
    SbText FMessage;
};

// Every message key of the program's core, with its English default.
namespace sbmsg {
inline constexpr SbTextKey unknownError{"txt_err_unknown", "Unknown error"};
// Folders
inline constexpr SbTextKey folderNoName{"txt_err_folder_no_name", "Cannot create a folder without a name"};
inline constexpr SbTextKey folderCreate{"txt_err_folder_create", "Cannot create folder \"%1\": %2"};
inline constexpr SbTextKey folderListNoName{"txt_err_folder_list_no_name",
                                            "Cannot list a folder without a name"};
inline constexpr SbTextKey folderRead{"txt_err_folder_read", "Cannot read folder \"%1\": %2"};
// Copies into a collection
inline constexpr SbTextKey copyFailed{"txt_err_copy", "Can not copy \"%1\" to \"%2\": %3."};
inline constexpr SbTextKey copyTargetName{"txt_err_copy_target_name",
                                          "Can not copy \"%1\": \"%2\" is not a file name."};
inline constexpr SbTextKey copyNoSource{"txt_err_copy_no_source", "The file \"%1\" does not exist."};
inline constexpr SbTextKey copyNotFile{"txt_err_copy_not_file", "Can not copy \"%1\": it is not a file."};
inline constexpr SbTextKey copyNoFolder{"txt_err_copy_no_folder",
                                        "Can not copy \"%1\": the folder \"%2\" does not exist."};
// A copy whose data did not reach the disk: %1 the file name, %2 the reason, %3 the collection.
inline constexpr SbTextKey diskRemoved{"txt_err_disk_removed",
                                       "\"%1\" could not be written to the disk (%2); the copy in \"%3\" was "
                                       "removed, the track is still in its folder."};
inline constexpr SbTextKey diskRenamed{
    "txt_err_disk_renamed", "\"%1\" could not be written to the disk (%2); the name \"%1\" in \"%3\" "
                            "no longer refers to that copy, so nothing was removed. The track is "
                            "still in its folder."};
// %4: why the damaged copy could not be removed.
inline constexpr SbTextKey diskNotRemoved{
    "txt_err_disk_not_removed", "\"%1\" could not be written to the disk (%2), and the damaged copy in "
                                "\"%3\" could not be removed (%4): please delete it. The track is "
                                "still in its folder."};
// The collections
inline constexpr SbTextKey noTrack{"txt_err_no_track", "There is no track to copy in \"%1\"."};
inline constexpr SbTextKey noCollection{"txt_err_no_collection", "No collection is chosen for this button."};
inline constexpr SbTextKey baseMissing{"txt_err_base_missing",
                                       "The collection folder \"%1\" does not exist."};
inline constexpr SbTextKey baseUnreadable{"txt_err_base_unreadable",
                                          "The collection folder \"%1\" can not be read."};
inline constexpr SbTextKey deleteFailed{"txt_err_delete", "Can not delete \"%1\": %2."};
// The settings file
inline constexpr SbTextKey settingsRead{"txt_err_settings_read", "Cannot read settings file \"%1\": %2"};
inline constexpr SbTextKey settingsSave{"txt_err_settings_save", "Cannot save settings file \"%1\": %2"};
inline constexpr SbTextKey settingsDefaults{
    "txt_err_settings_defaults",
    "The program runs on the default settings and does not save any in this session."};
// Reasons of a text file that cannot be read
inline constexpr SbTextKey fileMissing{"txt_err_file_missing", "the file does not exist"};
inline constexpr SbTextKey fileNotRegular{"txt_err_file_not_regular", "not a regular file"};
inline constexpr SbTextKey fileTooLarge{"txt_err_file_too_large", "larger than %1 bytes"};
inline constexpr SbTextKey fileGrew{"txt_err_file_grew", "the file grew while it was read"};
// Reasons from the system (osReason)
inline constexpr SbTextKey osNoEntry{"txt_os_enoent", "No such file or directory"};
inline constexpr SbTextKey osAccess{"txt_os_eacces", "Permission denied"};
inline constexpr SbTextKey osPermission{"txt_os_eperm", "Operation not permitted"};
inline constexpr SbTextKey osNoSpace{"txt_os_enospc", "No space left on device"};
inline constexpr SbTextKey osQuota{"txt_os_edquot", "Disk quota exceeded"};
inline constexpr SbTextKey osReadOnly{"txt_os_erofs", "Read-only file system"};
inline constexpr SbTextKey osIo{"txt_os_eio", "Input/output error"};
inline constexpr SbTextKey osNameTooLong{"txt_os_enametoolong", "File name too long"};
inline constexpr SbTextKey osExists{"txt_os_eexist", "File exists"};
inline constexpr SbTextKey osNotDir{"txt_os_enotdir", "Not a directory"};
inline constexpr SbTextKey osIsDir{"txt_os_eisdir", "Is a directory"};
inline constexpr SbTextKey osLoop{"txt_os_eloop", "Too many levels of symbolic links"};
inline constexpr SbTextKey osBusy{"txt_os_ebusy", "Device or resource busy"};
inline constexpr SbTextKey osTooManyFiles{"txt_os_emfile", "Too many open files"};

inline constexpr SbTextKey all[] = {
    unknownError,   folderNoName, folderCreate,     folderListNoName, folderRead,     copyFailed,
    copyTargetName, copyNoSource, copyNotFile,      copyNoFolder,     diskRemoved,    diskRenamed,
    diskNotRemoved, noTrack,      noCollection,     baseMissing,      baseUnreadable, deleteFailed,
    settingsRead,   settingsSave, settingsDefaults, fileMissing,      fileNotRegular, fileTooLarge,
    fileGrew,       osNoEntry,    osAccess,         osPermission,     osNoSpace,      osQuota,
    osReadOnly,     osIo,         osNameTooLong,    osExists,         osNotDir,       osIsDir,
    osLoop,         osBusy,       osTooManyFiles};
} // namespace sbmsg
