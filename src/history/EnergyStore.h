// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

#include "measure/EnergyIntegrator.h"

namespace acw {

// The energy totals on disk: "energy-totals.txt" in the folder given to the constructor (the
// program's configuration folder; a test's temporary folder), in EnergyIntegrator::saveText's
// text.
//
// Saving replaces the file all or nothing (writeFileAtomically): after a kill or a full disk the
// file is the previous complete save or the new one. The caller saves at STOP, at exit and
// through saveIfDue() once per buffer, so that a kill loses at most kSaveIntervalMs of
// integration.
//
// A file that cannot be restored (damaged, cut short, unreadable, of an unknown version) is never
// overwritten: load() renames it aside, "energy-totals.txt.damaged-YYYYMMDD-HHMMSS" in local
// time, and reports where it went and why. Should even the rename fail, save() refuses until a
// later load() succeeds in setting it aside, so the totals in it are never lost silently.
//
// Order: load() once at start-up, before the first save(). One thread (the window's) makes all
// calls; nothing is kept open between calls.
class EnergyStore {
public:
    static constexpr const char* kFileName = "energy-totals.txt";
    // A file of totals is well under 1 KiB; anything larger is not one.
    static constexpr qint64 kMaxFileBytes = 64 * 1024;
    static constexpr qint64 kSaveIntervalMs = 30'000;

    struct LoadResult {
        enum class Status {
            Restored,  // `integrator` holds the saved totals
            None,      // no file: a first start
            Damaged,   // the file could not be restored; see `reason` and `setAsidePath`
        };
        Status status = Status::None;
        std::optional<EnergyIntegrator> integrator;
        // Where the damaged file went; empty when it could not be renamed (then `reason` says why
        // too).
        QString setAsidePath;
        // Why the file could not be restored, without a closing full stop.
        QString reason;
    };

    // `folder` empty: the platform names no configuration folder; nothing is loaded or saved.
    explicit EnergyStore(QString folder);

    QString path() const;

    // Reads the saved totals (see LoadResult). May be called at any time, typically at start-up.
    LoadResult load();

    // Writes `integrator`'s state, creating the folder when it is missing. Returns false with
    // the reason (when `reason` is given; no closing full stop) when the file could not be
    // written, or while a damaged file that could not be set aside is in the way.
    bool save(const EnergyIntegrator& integrator, QString* reason = nullptr);

    // Saves when no save was made through this store yet or kSaveIntervalMs have passed since the
    // last one (made or failed: a full disk is not retried every buffer). `nowMs` is a monotonic
    // time (QElapsedTimer). Returns false, with the reason, only when a due save failed.
    bool saveIfDue(const EnergyIntegrator& integrator, qint64 nowMs, QString* reason = nullptr);

private:
    QString folder_;
    bool damagedInTheWay_ = false;
    std::optional<qint64> lastSaveMs_;
};

}  // namespace acw
