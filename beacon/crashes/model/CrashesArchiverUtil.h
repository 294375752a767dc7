#pragma once

namespace beacon {

// Puts the classes of crash reporting (and the model classes they hold) on
// the archive allow-list, so that stored error logs and reports can be read
// back.
class CrashesArchiverUtil {
public:
    static void addAllowedCrashesModuleClasses();
};

} // namespace beacon
