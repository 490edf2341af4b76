# frozen_string_literal: true

require "fileutils"
require "sqlite3"
require "time"

module QuorvelSample
  # One connection shared by Puma's threads; the mutex keeps their statements apart.
  class Database
    SCHEMA_VERSION = 1

    class TooNew < StandardError; end

    SCHEMA = <<~SQL
      CREATE TABLE notes (
        id         INTEGER PRIMARY KEY,
        body       TEXT NOT NULL,
        created_at TEXT NOT NULL
      );
      CREATE TABLE settings (
        key   TEXT PRIMARY KEY,
        value TEXT NOT NULL
      );
    SQL

    Note = Struct.new(:id, :body, :created_at, keyword_init: true) do
      def title
        body.lines.first.to_s.strip
      end
    end

    attr_reader :path

    def self.open(path)
      new(path)
    end

    def initialize(path)
      @path = path
      @lock = Mutex.new
      FileUtils.mkdir_p(File.dirname(path))
      @db = SQLite3::Database.new(path)
      # Short, because the wait holds Ruby's lock and would delay shutdown.
      @db.busy_timeout = 1000
      migrate
    rescue StandardError
      @db&.close
      raise
    end

    def close
      @lock.synchronize { @db.close unless @db.closed? }
    end

    def schema_version
      @lock.synchronize { @db.get_first_value("PRAGMA user_version") }
    end

    def notes(limit: 50)
      rows = @lock.synchronize do
        @db.execute("SELECT id, body, created_at FROM notes ORDER BY id DESC LIMIT ?", [limit])
      end
      rows.map { |id, body, created_at| Note.new(id: id, body: body, created_at: created_at) }
    end

    def note(id)
      row = @lock.synchronize do
        @db.get_first_row("SELECT id, body, created_at FROM notes WHERE id = ?", [id])
      end
      row && Note.new(id: row[0], body: row[1], created_at: row[2])
    end

    def add_note(body, now: Time.now)
      @lock.synchronize do
        @db.execute("INSERT INTO notes (body, created_at) VALUES (?, ?)", [body, now.utc.iso8601])
        @db.last_insert_row_id
      end
    end

    def setting(key)
      @lock.synchronize { @db.get_first_value("SELECT value FROM settings WHERE key = ?", [key]) }
    end

    def update_setting(key, value)
      @lock.synchronize do
        @db.execute(<<~SQL, [key, value])
          INSERT INTO settings (key, value) VALUES (?, ?)
          ON CONFLICT (key) DO UPDATE SET value = excluded.value
        SQL
      end
    end

    # Copies through SQLite's online backup API into a ".partial" file first,
    # so a file with the final name is always a complete database.
    def backup_to(dir, now: Time.now)
      FileUtils.mkdir_p(dir)
      @lock.synchronize do
        target = free_name(dir, "quorvel-#{now.strftime('%Y%m%d-%H%M%S')}")
        partial = "#{target}.partial"
        begin
          copy_into(partial)
          File.rename(partial, target)
        ensure
          FileUtils.rm_f(partial)
        end
        target
      end
    end

    private

    def migrate
      @db.transaction(:immediate) do
        version = @db.get_first_value("PRAGMA user_version")
        if version > SCHEMA_VERSION
          raise TooNew, "database #{@path} has schema version #{version}, " \
                        "newer than version #{SCHEMA_VERSION} which this app knows"
        end
        if version.zero?
          @db.execute_batch(SCHEMA)
          @db.execute("INSERT INTO notes (body, created_at) VALUES (?, ?)",
                      ["Welcome to the Quorvel sample.\nAdd a note below; it is stored in SQLite.",
                       Time.now.utc.iso8601])
          @db.execute("PRAGMA user_version = #{SCHEMA_VERSION}")
        end
      end
    end

    def free_name(dir, stem)
      path = File.join(dir, "#{stem}.sqlite3")
      n = 1
      path = File.join(dir, "#{stem}-#{n += 1}.sqlite3") while File.exist?(path)
      path
    end

    def copy_into(file)
      destination = SQLite3::Database.new(file)
      backup = SQLite3::Backup.new(destination, "main", @db, "main")
      result = backup.step(-1)
      backup.finish
      raise SQLite3::Exception, "backup stopped early (SQLite code #{result})" unless result == SQLite3::Constants::ErrorCode::DONE
    ensure
      destination&.close
    end
  end
end
