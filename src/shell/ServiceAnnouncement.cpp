#include "shell/ServiceAnnouncement.h"

#include "base/DataDirectory.h"
#include "log/ServiceJournal.h"
#include "shell/ServiceNotify.h"
#include "status/ServiceStatus.h"

void AnnounceServing()
{
    const std::string description = ServiceDescription(ServiceStatus().Snapshot()).toStdString();
    std::string folder = DataDirectory();
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) {
        folder.pop_back();
    }
    ServiceJournal().Line(TJournalPriority::Info, "start",
        "version " MEMBER_VERSION " serving: " + description + "; data folder " + folder);
    NotifyServiceReady(description);
}

void AnnounceStopping(const std::string& reason)
{
    ServiceJournal().Line(TJournalPriority::Info, "stop", "stopping: " + reason);
    NotifyServiceStopping();
}
