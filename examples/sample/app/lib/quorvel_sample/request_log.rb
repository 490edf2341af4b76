# frozen_string_literal: true

require "json"
require "rack/utils"

module QuorvelSample
  # JSON lines that end-to-end tests of the desktop shell read back.
  class RequestLog
    attr_reader :path

    def initialize(path)
      @path = path
      @lock = Mutex.new
    end

    # Opened per line so a test that deletes or truncates the file between
    # steps still sees what comes after.
    def write(record)
      line = "#{JSON.generate(clean(record))}\n"
      @lock.synchronize do
        File.open(@path, "a") do |file|
          file.write(line)
          file.flush
        end
      end
    rescue SystemCallError, IOError => e
      warn "quorvel-sample: could not write #{@path}: #{e.message}"
    end

    # Outermost middleware, so refused requests are logged too. It logs cookie
    # names and how the launch token came, never a secret value.
    class Middleware
      def initialize(app, log, token)
        @app = app
        @log = log
        @token = token.to_s.b
      end

      def call(env)
        cookies = Rack::Utils.parse_cookies(env)
        facts = {
          "event" => "request",
          "method" => env["REQUEST_METHOD"],
          "path" => "#{env['SCRIPT_NAME']}#{env['PATH_INFO']}",
          "query" => env["QUERY_STRING"].to_s,
          "cookies" => cookies.keys,
          "token" => token_source(env["HTTP_LAUNCH_TOKEN"], cookies[LaunchToken::COOKIE])
        }
        status, headers, body = @app.call(env)
        @log.write(facts.merge("status" => status.to_i))
        [status, headers, body]
      rescue StandardError
        @log.write(facts.merge("status" => 500)) if facts
        raise
      end

      private

      # "header" or "cookie" for the one that matched, else "wrong" or "none".
      def token_source(header, cookie)
        return "header" if header && Rack::Utils.secure_compare(header.b, @token)
        return "cookie" if cookie && Rack::Utils.secure_compare(cookie.b, @token)

        header || cookie ? "wrong" : "none"
      end
    end

    private

    # Request data can carry any bytes; JSON needs valid UTF-8.
    def clean(value)
      case value
      when String then value.dup.force_encoding(Encoding::UTF_8).scrub
      when Hash then value.to_h { |k, v| [clean(k), clean(v)] }
      when Array then value.map { |v| clean(v) }
      else value
      end
    end
  end
end
