# frozen_string_literal: true

# Quorvel runs this from the app folder:
#   ruby server.rb -C config/puma.rb -b tcp://127.0.0.1:PORT

# The locale Quorvel passes may not be installed; all our text is UTF-8.
Encoding.default_external = Encoding::UTF_8

$LOAD_PATH.unshift File.expand_path("app/lib", __dir__)
require "quorvel_sample"

# Checked before Puma listens, so a database from a newer app version is
# never touched by requests and Quorvel gets a distinct exit status.
begin
  config = QuorvelSample::Config.from_env(ENV)
  QuorvelSample::Database.open(config.database_path).close
rescue QuorvelSample::Database::TooNew => e
  warn "quorvel-sample: #{e.message}; not starting."
  exit 3
rescue QuorvelSample::ConfigError, SQLite3::Exception, SystemCallError => e
  warn "quorvel-sample: cannot start: #{e.message}"
  exit 1
end

require "puma/cli"
Puma::CLI.new(ARGV).run
