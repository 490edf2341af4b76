#include "web/downloads.h"

#include <unistd.h>

#include <webkit2/webkit2.h>

#include <memory>

#include "base/glib_ptr.h"
#include "web/rules/download_file.h"
#include "web/rules/download_name.h"

namespace quorvel {
namespace {

// One download under way; it lives as long as its WebKitDownload.
struct Job {
  Job(WeakOwner<Downloads::Report> to, std::string in) : report(std::move(to)), folder(std::move(in)) {}
  WeakOwner<Downloads::Report> report;  // gone with the Downloads object
  std::string folder;
  std::string name;
  std::string temporary;
  bool failed = false;
  SignalConnections connections;
};

void tell(const Job& job, const DownloadReport& what) {
  if (auto report = job.report.get()) (*report)(what);
}

std::string downloadFolder() {
  const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  return folder ? folder : g_get_home_dir();
}

gboolean decideDestination(WebKitDownload* download, const char* suggested, Job* job) {
  job->name = safeDownloadName(suggested ? suggested : "");
  // Reserved now, overwritten by WebKit, moved into place at the end.
  auto temporary = makeDownloadTemporary(job->folder, job->name);
  if (!temporary) {
    job->failed = true;
    tell(*job, {false, job->name, {}, {}, temporary.error().message()});
    webkit_download_cancel(download);
    return TRUE;
  }
  job->temporary = temporary.value();
  webkit_download_set_allow_overwrite(download, TRUE);
  webkit_download_set_destination(download, job->temporary.c_str());
  return TRUE;
}

void failed(WebKitDownload*, GError* error, Job* job) {
  if (!job->temporary.empty()) unlink(job->temporary.c_str());
  // Nobody cancels but Quorvel itself, and then it has already said why.
  if (!job->failed && !g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER)) {
    tell(*job, {false, job->name, {}, {}, error->message});
  }
  job->failed = true;
}

void finished(WebKitDownload*, Job* job) {
  if (job->failed) return;
  const GCharPtr shown(g_filename_display_basename(job->folder.c_str()));
  auto placed = moveDownloadIntoPlace(job->temporary, job->folder, job->name);
  if (!placed) {
    tell(*job, {false, job->name, {}, shown.get(), placed.error().message()});
    return;
  }
  g_debug("Saved a download as %s", placed.value().path.c_str());
  tell(*job, {true, placed.value().name, placed.value().path, shown.get(), {}});
}

}  // namespace

Downloads::Downloads(WebKitWebContext* context, LocalOrigin origin, Report report)
    : origin_(std::move(origin)), report_(std::make_shared<Report>(std::move(report))) {
  // What a quit or a crash cut short is of no use to anyone; cleared once
  // start-up has nothing else to do.
  g_idle_add_full(G_PRIORITY_LOW, [](gpointer) -> gboolean {
    removeLeftoverDownloads(downloadFolder());
    return G_SOURCE_REMOVE;
  }, nullptr, nullptr);
  connections_.add(context, "download-started", G_CALLBACK(+[](WebKitWebContext*, WebKitDownload* download,
                                                                Downloads* self) {
                     const char* uri = webkit_uri_request_get_uri(webkit_download_get_request(download));
                     if (!self->origin_.isLocal(uri ? uri : "")) {
                       g_debug("Not saving %s: it is not the server's", uri);
                       webkit_download_cancel(download);
                       return;
                     }
                     auto* job = new Job(WeakOwner<Report>(self->report_), downloadFolder());
                     g_object_set_data_full(G_OBJECT(download), "quorvel-download", job,
                                            [](gpointer data) { delete static_cast<Job*>(data); });
                     job->connections.add(download, "decide-destination", G_CALLBACK(decideDestination), job);
                     job->connections.add(download, "failed", G_CALLBACK(failed), job);
                     job->connections.add(download, "finished", G_CALLBACK(finished), job);
                   }),
                   this);
}

}  // namespace quorvel
