# frozen_string_literal: true

require "rack"
require "rack/session/cookie"
require "rack/static"

require_relative "quorvel_sample/config"
require_relative "quorvel_sample/database"
require_relative "quorvel_sample/launch_token"
require_relative "quorvel_sample/request_log"
require_relative "quorvel_sample/web"

module QuorvelSample
  PUBLIC_DIR = File.expand_path("../public", __dir__)

  # From the outside in: log every request, refuse those without this run's
  # token (assets included), serve assets, then the session and the pages.
  def self.app(config, db: Database.open(config.database_path))
    log = RequestLog.new(config.request_log_path)
    Rack::Builder.new do
      use RequestLog::Middleware, log, config.launch_token
      use LaunchToken, config.launch_token
      use Rack::Static, urls: ["/assets"], root: PUBLIC_DIR,
                        header_rules: [[:all, { "cache-control" => "no-cache" }]]
      use Rack::Session::Cookie, key: "quorvel_sample.session", secret: config.secret,
                                 httponly: true, same_site: :lax, path: "/"
      run Web.new(db: db, config: config, log: log)
    end.to_app
  end
end
