// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

#include "settings/ProgramConfig.h"

namespace acw {

// The program's own configuration as the window's parts share it: each part changes its piece
// and calls save(); a file that cannot be written is reported once (by the reporter) and the
// parts go on with what they have. An empty path keeps everything in memory (tests).
class ProgramSettings {
public:
    using Reporter = std::function<void(const QString& text)>;

    ProgramConfig& config() { return config_; }
    const ProgramConfigStore& store() const { return store_; }

    // Reads the file named by `store` (a file that cannot be read is reported; the defaults
    // stay).
    void load(ProgramConfigStore store);
    void save();
    void setReporter(Reporter reporter) { reporter_ = std::move(reporter); }

private:
    ProgramConfigStore store_{QString()};
    ProgramConfig config_;
    Reporter reporter_;
    bool saveFailureReported_ = false;
};

}  // namespace acw
