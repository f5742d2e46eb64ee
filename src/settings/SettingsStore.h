#pragma once

#include <QString>
#include <optional>
#include <string>

#include "settings/SettingsFile.h"

namespace acw {

// The settings file on disk: "wattmeter.ini", ten values in the exact text of
// writeSettingsText. By default it lives in the user's configuration folder
// (QStandardPaths::GenericConfigLocation, normally ~/.config/wattmeter.ini); `--settings FILE`
// names another file.
//
// load() and save() each open and close the file within the call; nothing is kept open. They
// may be called in any order and any number of times.
class SettingsStore {
public:
    static constexpr const char* kFileName = "wattmeter.ini";
    // Files larger than this are read only up to this size (ten values need a few hundred bytes).
    static constexpr qint64 kMaxReadBytes = 1 << 20;

    // The user's settings file: the configuration folder + "/wattmeter.ini"; empty when the
    // platform names no configuration folder.
    static QString defaultPath();

    explicit SettingsStore(QString path = defaultPath());
    // The file named by the option `--settings FILE` (a file name in the system's encoding), or
    // the user's file when the option is absent.
    static SettingsStore fromOption(const std::optional<std::string>& settingsPath);

    const QString& path() const { return path_; }

    // Reads the file into `values` by the reader's rules (readSettingsText): values the file
    // does not hold, or holds in a form that cannot be converted, keep what `values` held.
    // Returns false, leaving `values` untouched, when the file cannot be read (missing, not a
    // regular file - a folder or a pipe is never opened -, no permission). `reason` (when
    // given) is then left empty for a file that does not exist (a first start) and otherwise
    // says why the existing file could not be read.
    bool load(SettingsValues& values, QString* reason = nullptr) const;

    // Writes the ten values. The new content goes to a temporary file beside the old one, which
    // is synced and then renamed over the old file, so the old file stays whole whatever
    // happens during the write (a full disk, a kill, a crash): the file is either the old one or
    // the complete new one (writeFileAtomically; a read-only file is not replaced). A missing
    // configuration folder is created. Returns false with the reason in `reason` (when given)
    // if the file could not be written.
    bool save(const SettingsValues& values, QString* reason = nullptr) const;

private:
    QString path_;
};

}  // namespace acw
