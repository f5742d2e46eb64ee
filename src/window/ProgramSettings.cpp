// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/ProgramSettings.h"

#include <QDir>

namespace acw {

void ProgramSettings::load(ProgramConfigStore store) {
    store_ = std::move(store);
    QString reason;
    if (!store_.load(config_, &reason) && reporter_) {
        reporter_(QStringLiteral("Could not read the program's settings from %1: %2. The defaults "
                                 "are used.")
                      .arg(QDir::toNativeSeparators(store_.path()), reason));
    }
}

void ProgramSettings::save() {
    if (store_.path().isEmpty()) return;
    QString reason;
    if (store_.save(config_, &reason)) {
        saveFailureReported_ = false;
        return;
    }
    if (saveFailureReported_ || !reporter_) return;
    saveFailureReported_ = true;
    reporter_(QStringLiteral("Could not save the program's settings to %1: %2. They are kept "
                             "until the program ends.")
                  .arg(QDir::toNativeSeparators(store_.path()), reason));
}

}  // namespace acw
