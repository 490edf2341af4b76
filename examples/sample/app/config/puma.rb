# frozen_string_literal: true

# Puma settings for the copy Quorvel starts. Addresses come only from the
# -b argument; nothing here binds, so the app listens nowhere else.
require "fileutils"

# Single mode: the PID Quorvel reads must be this very interpreter process.
workers 0
threads 1, 4

if (pid_path = ENV["PIDFILE"]) && !pid_path.empty?
  FileUtils.mkdir_p(File.dirname(pid_path))
  pidfile pid_path
end

# Quorvel waits about five seconds after SIGINT/SIGTERM; a request still
# running must not hold the process past that.
force_shutdown_after 1
worker_shutdown_timeout 2
