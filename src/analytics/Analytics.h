#pragma once
// What the application shell and the game call: analytics with the build's credentials.
#include <string>

namespace peckish::analytics {

// At launch: hands the service the build's key and secret (platform::analyticsKey(),
// platform::analyticsSecret(); the upload host is platform::analyticsHost()) and starts the
// analysis without location tracking. A store that cannot be opened is logged and leaves
// analytics off; the game goes on.
void startForApplication();
// At termination: stops the analysis ("Analysis Stopped" is logged once, however often this and
// the terminate notification arrive). Uploads still in flight are written back to the queue when
// platform::kApplicationWillTerminateNotification is posted (platform::Application::terminate).
void stopForApplication();
// The player withdrew consent: the analysis ends as at termination (exchanges on the wire
// cancelled), the service, the store and the transport's delegate are let go, and the queue's
// files and the installation's identifier are deleted. Nothing is sent afterwards; a later
// startForApplication starts afresh, with a new identifier.
void withdrawForApplication();
// Records a named action while the analysis runs; does nothing before the service exists.
void logAction(const std::string& name);

}  // namespace peckish::analytics
