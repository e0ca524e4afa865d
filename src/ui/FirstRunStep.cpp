#include "ui/FirstRunStep.h"

#include "platform/DesktopEntries.h"
#include "store/FirstRun.h"
#include "store/SiteSettings.h"

void RunFirstRunStep() {
    if (sarvo::HasInitFlag())
        return;
    sarvo::SetInitFlag();
    // Failures are nobody's business but the launcher's: the program runs without it.
    sarvo::Shortcut shortcut = sarvo::ProgramShortcut();
    sarvo::CreateDesktopShortcut(shortcut);
    sarvo::CreateStartMenuShortcut(shortcut);
    sarvo::SetUseIdleProcess(true);
}
