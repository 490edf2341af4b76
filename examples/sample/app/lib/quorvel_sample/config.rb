# frozen_string_literal: true

module QuorvelSample
  class ConfigError < StandardError; end

  # Everything the app needs from the environment Quorvel hands over.
  Config = Struct.new(:database_path, :backups_dir, :launch_token, :secret, :environment,
                      keyword_init: true) do
    def data_dir
      File.dirname(database_path)
    end

    def request_log_path
      File.join(data_dir, "sample-requests.log")
    end

    def self.from_env(env)
      token = env["QUORVEL_LAUNCH_TOKEN"].to_s
      # An empty token would compare equal to an absent one and open the app to anyone.
      raise ConfigError, "QUORVEL_LAUNCH_TOKEN is not set" if token.empty?

      secret = env["SECRET_KEY_BASE"].to_s
      raise ConfigError, "SECRET_KEY_BASE is not set" if secret.empty?
      # The session cookie's signing key; rack-session 2 (Debian 13) refuses a shorter one at the first request.
      raise ConfigError, "SECRET_KEY_BASE is shorter than 64 bytes" if secret.bytesize < 64

      database_path = QuorvelSample.database_path_from_url(env["DATABASE_URL"])
      backups_dir = QuorvelSample.utf8(env["QUORVEL_BACKUPS"].to_s)
      backups_dir = File.join(File.dirname(database_path), "backups") if backups_dir.empty?

      new(database_path: database_path, backups_dir: backups_dir, launch_token: token,
          secret: secret, environment: env["RAILS_ENV"].to_s.empty? ? "development" : env["RAILS_ENV"])
    end
  end

  module_function

  # "sqlite3:" followed by a percent-encoded absolute path. Plain percent
  # decoding only: a "+" in a folder name is a real "+", not a space.
  def database_path_from_url(url)
    url = url.to_s
    raise ConfigError, "DATABASE_URL must look like sqlite3:/absolute/path" unless url.start_with?("sqlite3:")

    encoded = url.delete_prefix("sqlite3:")
    raise ConfigError, "DATABASE_URL has a broken %-escape" if encoded.match?(/%(?!\h\h)/)

    path = encoded.b.gsub(/%(\h\h)/) { Regexp.last_match(1).hex.chr }.force_encoding(Encoding::UTF_8)
    raise ConfigError, "DATABASE_URL path is not valid UTF-8" unless path.valid_encoding?
    raise ConfigError, "DATABASE_URL path contains a NUL byte" if path.include?("\0")
    raise ConfigError, "DATABASE_URL path must be absolute" unless path.start_with?("/")

    path
  end

  # The shell's locale may not exist, so Ruby tags environment strings as
  # ASCII; the bytes are UTF-8 all the same.
  def utf8(string)
    string.to_s.dup.force_encoding(Encoding::UTF_8).scrub
  end
end
