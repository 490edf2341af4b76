# frozen_string_literal: true

# Run from the repository root: ruby tests/sample/sample_app_test.rb

require "minitest/autorun"
require "cgi"
require "fileutils"
require "json"
require "net/http"
require "rack/mock"
require "rbconfig"
require "socket"
require "tmpdir"

SAMPLE_DIR = File.expand_path("../../examples/sample", __dir__)
$LOAD_PATH.unshift File.join(SAMPLE_DIR, "app", "lib")
require "quorvel_sample"

module SampleTestSupport
  TOKEN = "0123456789abcdef" * 4
  ORIGIN = "http://127.0.0.1:4567"

  def launch_env(dir, database: "#{dir}/data/quorvel.sqlite3", **overrides)
    {
      "QUORVEL_LAUNCH_TOKEN" => TOKEN,
      "SECRET_KEY_BASE" => "5e" * 64,
      "DATABASE_URL" => "sqlite3:#{database}",
      "QUORVEL_BACKUPS" => "#{dir}/backups",
      "RAILS_ENV" => "desktop"
    }.merge(overrides)
  end

  def build_app(env)
    config = QuorvelSample::Config.from_env(env)
    db = QuorvelSample::Database.open(config.database_path)
    @open_databases = (@open_databases || []) << db
    [config, Rack::MockRequest.new(Rack::Lint.new(QuorvelSample.app(config, db: db)))]
  end

  def close_databases
    (@open_databases || []).each(&:close)
  end

  def log_lines(config)
    File.readlines(config.request_log_path).map { |line| JSON.parse(line) }
  end
end

# In-process requests through the whole middleware stack.
class SampleAppTest < Minitest::Test
  include SampleTestSupport

  def setup
    @dir = Dir.mktmpdir("quorvel-sample")
    @config, @app = build_app(launch_env(@dir))
    @session = nil
  end

  def teardown
    close_databases
    FileUtils.remove_entry(@dir)
  end

  # A tiny browser: the launch cookie by default, plus the session cookie it was given.
  def browse(method, path, token: :cookie, cookies: {}, app: @app, **env)
    jar = {}
    jar["launch_token"] = TOKEN if token == :cookie
    jar["quorvel_sample.session"] = @session if @session
    jar.merge!(cookies)
    env["HTTP_COOKIE"] = jar.map { |name, value| "#{name}=#{value}" }.join("; ") unless jar.empty?
    env["HTTP_LAUNCH_TOKEN"] = TOKEN if token == :header
    response = app.request(method, "#{ORIGIN}#{path}", env)
    @session = response.headers["Set-Cookie"].to_s[/quorvel_sample\.session=([^;]+)/, 1] || @session
    response
  end

  def test_every_path_refuses_missing_or_wrong_tokens
    wrong = ["", "x", TOKEN.upcase, TOKEN[0..-2], "#{TOKEN}0", TOKEN.reverse]
    %w[/ /up /assets/app.css /settings /no-such-page].each do |path|
      assert_equal 403, browse("GET", path, token: nil).status, path
      wrong.each do |bad|
        assert_equal 403, browse("GET", path, token: nil, "HTTP_LAUNCH_TOKEN" => bad).status, "#{path} header #{bad}"
        assert_equal 403, browse("GET", path, token: nil, cookies: { "launch_token" => bad }).status, "#{path} cookie #{bad}"
      end
    end
    assert_equal 403, browse("GET", "/up?launch_token=#{TOKEN}", token: nil).status

    refused = browse("POST", "/notes", token: nil, params: { "body" => "sneaky" })
    assert_equal 403, refused.status
    assert_match %r{\Atext/plain}, refused.content_type
    refute_includes browse("GET", "/").body, "sneaky"
  end

  def test_header_or_cookie_token_is_accepted
    up = browse("GET", "/up", token: :header)
    assert_equal [200, "ok"], [up.status, up.body]
    assert_equal 200, browse("GET", "/up").status
    assert_equal 200, browse("GET", "/").status
    assert_equal 200, browse("GET", "/assets/app.js").status
  end

  def test_home_page_offers_every_shell_check
    html = browse("GET", "/").body
    assert_includes html, "<title>Quorvel Sample</title>"
    settings_link = html.scan(/<a\b[^>]*>/).find { |tag| tag.match?(/class="[^"]*\brail__settings\b/) }
    assert_includes settings_link, 'href="/settings"'
    %w[offline-indicator connection-status alert-button alert-result confirm-button confirm-result
       file-single file-single-result file-multiple file-multiple-result link-about link-origin
       link-external link-localhost link-mailto link-blank-local link-blank-external
       window-open-button iframe-external demo-video video-canvas fullscreen-button backup-button
       last-backup note-body].each { |id| assert_includes html, %(id="#{id}"), id }
    assert_includes html, %(href="#{ORIGIN}/about")
    assert_match %r{<input id="file-multiple" type="file" multiple>}, html
    assert_includes html, %(<a id="link-blank-external" href="https://example.org/" target="_blank">)
    localhost_links = html.scan(/href="([^"]*localhost[^"]*)"/).flatten
    assert_equal ["http://localhost:4567/"], localhost_links
  end

  def test_offline_banner_follows_the_cookie
    assert_match(/id="offline-indicator"[^>]* hidden>/, browse("GET", "/").body)
    refute_match(/id="offline-indicator"[^>]* hidden>/, browse("GET", "/", cookies: { "offline" => "1" }).body)
  end

  def test_notes_are_stored_escaped_and_counted_in_the_signed_session
    response = browse("POST", "/notes", params: { "body" => "Buy <oat> milk" })
    assert_equal [303, "/"], [response.status, response.location]
    browse("POST", "/notes", params: { "body" => "   " })
    home = browse("GET", "/").body
    assert_includes home, "Buy &lt;oat&gt; milk"
    assert_match %r{session-count.*<strong>1</strong>}, home

    _, other_secret = build_app(launch_env(@dir, "SECRET_KEY_BASE" => "another secret"))
    assert_match %r{session-count.*<strong>0</strong>}, browse("GET", "/", app: other_secret).body
  end

  def test_cross_site_posts_are_refused
    response = browse("POST", "/notes", params: { "body" => "from elsewhere" }, "HTTP_ORIGIN" => "https://example.com")
    assert_equal 403, response.status
    refute_includes browse("GET", "/").body, "from elsewhere"
    assert_equal 303, browse("POST", "/notes", params: { "body" => "ok" }, "HTTP_ORIGIN" => ORIGIN).status
  end

  def test_settings_keep_the_display_name
    assert_equal 303, browse("POST", "/settings", params: { "display_name" => "Ada" }).status
    assert_includes browse("GET", "/settings").body, 'value="Ada"'
    assert_includes browse("GET", "/").body, "Hello, Ada."
  end

  def test_backups_are_complete_copies_with_distinct_names
    browse("POST", "/notes", params: { "body" => "keep me" })
    2.times { assert_equal 303, browse("POST", "/backup").status }

    backups = Dir[File.join(@dir, "backups", "*")].sort
    assert_equal 2, backups.size, backups.inspect
    backups.each do |path|
      assert_match(/quorvel-\d{8}-\d{6}(-2)?\.sqlite3\z/, path)
      copy = SQLite3::Database.new(path)
      assert_equal 1, copy.get_first_value("PRAGMA user_version")
      assert_includes copy.execute("SELECT body FROM notes").flatten, "keep me"
      copy.close
    end
    shown = browse("GET", "/").body[%r{id="last-backup">([^<]*)<}, 1]
    assert_includes backups, CGI.unescapeHTML(shown)
  end

  def test_every_request_is_logged_with_its_outcome
    browse("GET", "/up?probe=1", token: :header)
    browse("GET", "/", token: nil, cookies: { "offline" => "1", "odd" => "%FF" })
    browse("GET", "/missing")

    probe, refused, missing = log_lines(@config).last(3)
    assert_equal({ "event" => "request", "method" => "GET", "path" => "/up", "query" => "probe=1",
                   "cookies" => {}, "token_header" => TOKEN, "status" => 200 }, probe)
    assert_equal [403, nil, "1"], [refused["status"], refused["token_header"], refused.dig("cookies", "offline")]
    assert_equal [404, TOKEN], [missing["status"], missing.dig("cookies", "launch_token")]
  end

  def test_page_events_are_recorded_only_in_known_shapes
    good = [
      { "event" => "alert" },
      { "event" => "confirm", "answer" => false },
      { "event" => "files", "input" => "multiple", "names" => ["a.txt", "é b.png"] },
      { "event" => "connection", "offline" => true },
      { "event" => "fullscreen", "state" => "left" }
    ]
    bad = [
      { "event" => "confirm", "answer" => "yes" },
      { "event" => "files", "input" => "both", "names" => [] },
      { "event" => "fullscreen", "state" => "sideways" },
      { "event" => "request", "status" => 200 },
      ["alert"]
    ]
    good.each { |event| assert_equal 204, browse("POST", "/record", input: JSON.generate(event)).status }
    bad.each { |event| assert_equal 400, browse("POST", "/record", input: JSON.generate(event)).status }
    assert_equal 400, browse("POST", "/record", input: "{not json").status
    assert_equal 403, browse("POST", "/record", token: nil, input: '{"event":"alert"}').status

    recorded = log_lines(@config).reject { |line| line["event"] == "request" }
    assert_equal good, recorded
  end

  def test_concurrent_log_writes_stay_whole_lines
    log = QuorvelSample::RequestLog.new(File.join(@dir, "concurrent.log"))
    names = Array.new(40) { |i| "file-#{i}-" + ("x" * 500) }
    Array.new(8) { |t| Thread.new { 25.times { log.write("event" => "files", "input" => "multiple", "names" => names, "t" => t) } } }.each(&:join)
    lines = File.readlines(log.path)
    assert_equal 200, lines.size
    lines.each { |line| assert_equal names, JSON.parse(line)["names"] }
  end
end

class DatabaseUrlTest < Minitest::Test
  def decode(url)
    QuorvelSample.database_path_from_url(url)
  end

  def test_percent_decoding_as_utf8
    assert_equal "/home/u/Library/Application Support/Quorvel/quorvel.sqlite3",
                 decode("sqlite3:/home/u/Library/Application%20Support/Quorvel/quorvel.sqlite3")
    assert_equal "/d/100% sure;really/é+ü.sqlite3", decode("sqlite3:/d/100%25%20sure%3Breally/%C3%A9+%c3%bc.sqlite3")
    assert_equal "/d/%20.db", decode("sqlite3:/d/%2520.db")
    assert_equal Encoding::UTF_8, decode("sqlite3:/a%C3%A9").encoding
  end

  def test_rejects_what_is_not_an_absolute_sqlite_path
    ["", "postgres://x/y", "sqlite3:relative.db", "sqlite3:/a%2", "sqlite3:/a%zz", "sqlite3:/a%FF", "sqlite3:/a%00b"].each do |url|
      assert_raises(QuorvelSample::ConfigError, url) { decode(url) }
    end
  end

  def test_missing_token_or_secret_stops_the_app
    base = { "DATABASE_URL" => "sqlite3:/tmp/x.db", "SECRET_KEY_BASE" => "s", "QUORVEL_LAUNCH_TOKEN" => "t" }
    %w[QUORVEL_LAUNCH_TOKEN SECRET_KEY_BASE].each do |name|
      assert_raises(QuorvelSample::ConfigError) { QuorvelSample::Config.from_env(base.merge(name => "")) }
    end
  end

  def test_database_is_created_at_the_decoded_path
    Dir.mktmpdir do |dir|
      url = "sqlite3:#{dir}/Application%20Support/Qu%C3%B6rvel%3B%25/q.sqlite3"
      db = QuorvelSample::Database.open(decode(url))
      db.close
      assert File.file?(File.join(dir, "Application Support", "Quörvel;%", "q.sqlite3"))
    end
  end
end

# server.rb as Quorvel starts it: app folder as working directory, only the 14 variables.
class ServerProcessTest < Minitest::Test
  include SampleTestSupport

  APP_DIR = File.join(SAMPLE_DIR, "app")
  SERVER = File.join(SAMPLE_DIR, "server.rb")

  def setup
    @dir = Dir.mktmpdir("quorvel sample ")
    @port = TCPServer.open("127.0.0.1", 0) { |server| server.addr[1] }
    @database = File.join(@dir, "Library", "Application Support", "Quörvel 100%;", "quorvel.sqlite3")
    @pids = []
  end

  def teardown
    @pids.each do |pid|
      Process.kill(:KILL, pid)
      Process.wait(pid)
    rescue Errno::ESRCH, Errno::ECHILD
      nil
    end
    FileUtils.remove_entry(@dir)
  end

  def spawn_server
    encoded = @database.b.gsub(/[^A-Za-z0-9\/._-]/n) { |byte| format("%%%02X", byte.ord) }
    env = {
      "HOME" => @dir, "USER" => "tester", "PATH" => "#{RbConfig::CONFIG['bindir']}:/usr/bin:/bin",
      "LANG" => "en_US.UTF-8", "RAILS_ENV" => "desktop", "SECRET_KEY_BASE" => "ab" * 64,
      "BUNDLE_GEMFILE" => File.join(APP_DIR, "Gemfile"), "BUNDLE_APP_CONFIG" => File.join(APP_DIR, ".bundle"),
      "DATABASE_URL" => "sqlite3:#{encoded}", "QUORVEL_BACKUPS" => File.join(@dir, "Backups"),
      "QUORVEL_KEYCHAIN" => "1", "PIDFILE" => File.join(@dir, "run", "server.pid"), "PORT" => @port.to_s,
      "QUORVEL_LAUNCH_TOKEN" => TOKEN
    }
    pid = Process.spawn(env, RbConfig.ruby, SERVER, "-C", "config/puma.rb", "-b", "tcp://127.0.0.1:#{@port}",
                        chdir: APP_DIR, unsetenv_others: true, in: File::NULL,
                        out: File.join(@dir, "server.log"), err: File.join(@dir, "server.err"))
    @pids << pid
    pid
  end

  def exit_status_within(pid, seconds)
    deadline = Process.clock_gettime(Process::CLOCK_MONOTONIC) + seconds
    while Process.clock_gettime(Process::CLOCK_MONOTONIC) < deadline
      _, status = Process.wait2(pid, Process::WNOHANG)
      return status if status

      sleep 0.05
    end
    nil
  end

  def get(path, headers = {})
    Net::HTTP.start("127.0.0.1", @port, open_timeout: 1, read_timeout: 3) { |http| http.get(path, headers) }
  end

  def wait_until_up(pid)
    deadline = Process.clock_gettime(Process::CLOCK_MONOTONIC) + 10
    while Process.clock_gettime(Process::CLOCK_MONOTONIC) < deadline
      begin
        return if get("/up", "Launch-Token" => TOKEN).code == "200"
      rescue SystemCallError, Net::OpenTimeout, EOFError
        nil
      end
      flunk "server exited early: #{File.read(File.join(@dir, 'server.err'))}" if exit_status_within(pid, 0.1)
    end
    flunk "server did not come up within 10 s"
  end

  def test_newer_database_exits_with_status_3_before_listening
    FileUtils.mkdir_p(File.dirname(@database))
    SQLite3::Database.new(@database).tap { |db| db.execute("PRAGMA user_version = 2") }.close

    status = exit_status_within(spawn_server, 10)
    assert status, "server.rb kept running"
    assert_equal 3, status.exitstatus
    stderr = File.read(File.join(@dir, "server.err")).lines
    assert_equal 1, stderr.size
    assert_match(/schema version 2/, stderr.first)
    assert_raises(SystemCallError) { TCPSocket.new("127.0.0.1", @port).close }
    assert_equal 2, SQLite3::Database.new(@database).get_first_value("PRAGMA user_version")
  end

  def test_starts_guards_and_stops_on_each_signal_with_a_request_in_flight
    %i[TERM INT].each do |signal|
      pid = spawn_server
      wait_until_up(pid)
      assert_equal pid.to_s, File.read(File.join(@dir, "run", "server.pid")).strip
      assert File.file?(@database), "database not created at the decoded path"
      assert_equal "403", get("/").code
      assert_equal "200", get("/", "Cookie" => "launch_token=#{TOKEN}").code

      stalled = TCPSocket.new("127.0.0.1", @port)
      stalled.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n")
      Process.kill(signal, pid)
      assert exit_status_within(pid, 5), "SIG#{signal} did not stop the server within 5 s"
      stalled.close
    end
  end
end
