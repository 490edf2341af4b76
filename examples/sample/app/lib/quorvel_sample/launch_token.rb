# frozen_string_literal: true

require "rack/utils"

module QuorvelSample
  # Only the Quorvel window that started this process knows the token: its
  # web view sends it as a cookie, its readiness probe as a header.
  class LaunchToken
    COOKIE = "launch_token"
    HEADER = "HTTP_LAUNCH_TOKEN"
    REFUSAL = "Forbidden: this app only answers the Quorvel window that started it.\n"

    def initialize(app, token)
      @app = app
      @token = token.to_s.b
      raise ArgumentError, "empty launch token" if @token.empty?
    end

    def call(env)
      return @app.call(env) if candidates(env).any? { |given| Rack::Utils.secure_compare(given.b, @token) }

      [403, { "content-type" => "text/plain; charset=utf-8" }, [REFUSAL]]
    end

    private

    def candidates(env)
      [env[HEADER], Rack::Utils.parse_cookies(env)[COOKIE]].compact
    end
  end
end
