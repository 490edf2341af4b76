# frozen_string_literal: true

# The sample application in-process, through its whole middleware stack.
# Run from the repository root: ruby tests/sample/sample_app_test.rb

require "minitest/autorun"
require "cgi"
require "csv"
require "fileutils"
require "json"
require "rack/mock"
require "tmpdir"

$LOAD_PATH.unshift File.expand_path("../../examples/sample/app/lib", __dir__)
require "quorvel_sample"

class SampleAppTest < Minitest::Test
  TOKEN = "0123456789abcdef" * 4

  def setup = (@dir = Dir.mktmpdir("quorvel-sample"); @config, @app = build_app)
  def teardown = (@databases.each(&:close); FileUtils.remove_entry(@dir))

  def build_app(secret: "5e" * 64)
    config = QuorvelSample::Config.from_env("QUORVEL_LAUNCH_TOKEN" => TOKEN, "SECRET_KEY_BASE" => secret,
                                            "DATABASE_URL" => "sqlite3:#{@dir}/data/q.sqlite3",
                                            "QUORVEL_BACKUPS" => "#{@dir}/backups")
    (@databases ||= []) << QuorvelSample::Database.open(config.database_path)
    [config, Rack::MockRequest.new(Rack::Lint.new(QuorvelSample.app(config, db: @databases.last)))]
  end

  # A tiny browser: the launch cookie unless told otherwise, and the session cookie it was given.
  def browse(method, path, token: TOKEN, cookies: {}, app: @app, **env)
    jar = { "launch_token" => token, "quorvel_sample.session" => @session }.compact.merge(cookies)
    env["HTTP_COOKIE"] = jar.map { |name, value| "#{name}=#{value}" }.join("; ")
    response = app.request(method, "http://127.0.0.1:4567#{path}", env)
    @session = response.headers["Set-Cookie"].to_s[/quorvel_sample\.session=([^;]+)/, 1] || @session
    response
  end

  def test_only_this_runs_token_opens_any_path
    # A token in the query does not count either.
    %W[/ /up /assets/app.css /up?launch_token=#{TOKEN}].product([nil, "", TOKEN.upcase, TOKEN[0..-2]]).each do |path, bad|
      assert_equal 403, browse("GET", path, token: bad).status, "#{path} cookie #{bad.inspect}"
      assert_equal 403, browse("GET", path, token: nil, "HTTP_LAUNCH_TOKEN" => bad.to_s).status, "#{path} header #{bad.inspect}"
    end
    refused = browse("POST", "/notes", token: nil, params: { "body" => "sneaky" })
    assert_equal [403, "text/plain; charset=utf-8"], [refused.status, refused.content_type]
    assert_equal [200, "ok"], [browse("GET", "/up", token: nil, "HTTP_LAUNCH_TOKEN" => TOKEN).status, browse("GET", "/up").body]
    refute_includes browse("GET", "/").body, "sneaky"
  end

  def test_pages_notes_settings_and_backups
    home = browse("GET", "/").body
    assert_match(/<a [^>]*class="[^"]*\brail__settings\b[^"]*" href="\/settings"/, home)
    assert_equal ["http://localhost:4567/"], home.scan(/href="([^"]*localhost[^"]*)"/).flatten
    assert_match(/id="offline-indicator"[^>]* hidden>/, home)
    refute_match(/id="offline-indicator"[^>]* hidden>/, browse("GET", "/", cookies: { "offline" => "1" }).body)

    assert_equal "/", browse("POST", "/notes", params: { "body" => "Buy <oat> milk" }).location
    browse("POST", "/notes", params: { "body" => "   " })
    assert_equal 403, browse("POST", "/notes", params: { "body" => "elsewhere" }, "HTTP_ORIGIN" => "https://x.com").status
    browse("POST", "/settings", params: { "display_name" => "Ada" }, "HTTP_ORIGIN" => "http://127.0.0.1:4567")
    2.times { assert_equal 303, browse("POST", "/backup").status }
    home = browse("GET", "/").body
    assert_includes home, "Buy &lt;oat&gt; milk"
    assert_includes home, "Hello, Ada."
    csv = browse("GET", "/notes.csv")
    assert_equal ['attachment; filename="notes.csv"', "Buy <oat> milk"], [csv.headers["Content-Disposition"], CSV.parse(csv.body)[1][2]]
    assert_match %r{session-count.*<strong>1</strong>}, home
    assert_match %r{session-count.*<strong>0</strong>}, browse("GET", "/", app: build_app(secret: "0e" * 64).last).body

    backups = Dir[File.join(@dir, "backups", "*")].sort
    assert_equal 2, backups.size
    assert_includes backups, CGI.unescapeHTML(home[%r{id="last-backup">([^<]*)<}, 1])
    backups.each do |path|
      assert_match(/quorvel-\d{8}-\d{6}(-2)?\.sqlite3\z/, path)
      copy = SQLite3::Database.new(path)
      # After the welcome note, only the one added: neither the blank nor the cross-site one.
      notes = copy.execute("SELECT body FROM notes ORDER BY id").flatten.drop(1)
      assert_equal [1, ["Buy <oat> milk"]], [copy.get_first_value("PRAGMA user_version"), notes]
      copy.close
    end
  end

  def test_the_log_holds_outcomes_and_known_events_but_no_secret
    browse("GET", "/up?probe=1", token: nil, "HTTP_LAUNCH_TOKEN" => TOKEN)
    browse("GET", "/", token: "bad", cookies: { "offline" => "1", "odd" => "%FF" })
    browse("GET", "/missing")
    good = [{ "event" => "alert" }, { "event" => "confirm", "answer" => false },
            { "event" => "files", "input" => "multiple", "names" => ["a.txt", "é b.png"] },
            { "event" => "connection", "offline" => true }, { "event" => "fullscreen", "state" => "left" }]
    bad = [{ "event" => "confirm", "answer" => "yes" }, { "event" => "files", "input" => "both", "names" => [] },
           { "event" => "fullscreen", "state" => "sideways" }, { "event" => "request", "status" => 200 }, ["alert"]]
          .map { |event| JSON.generate(event) } << "{not json"
    good.each { |event| assert_equal 204, browse("POST", "/record", input: JSON.generate(event)).status }
    bad.each { |text| assert_equal 400, browse("POST", "/record", input: text).status, text }

    log = File.read(@config.request_log_path)
    requests, events = log.lines.map { |line| JSON.parse(line) }.partition { |line| line["event"] == "request" }
    assert_equal({ "event" => "request", "method" => "GET", "path" => "/up", "query" => "probe=1", "cookies" => [],
                   "token" => "header", "status" => 200 }, requests[0])
    assert_equal [403, "wrong", %w[launch_token offline odd]], requests[1].values_at("status", "token", "cookies")
    assert_equal [404, "cookie"], requests[2].values_at("status", "token")
    assert_equal good, events
    [TOKEN, @session].each { |secret| refute_includes log, secret }

    shared = QuorvelSample::RequestLog.new(File.join(@dir, "concurrent.log"))
    names = Array.new(40) { |i| "file-#{i}-#{'x' * 500}" }
    Array.new(8) { Thread.new { 25.times { shared.write("names" => names) } } }.each(&:join)
    assert_equal [names] * 200, File.readlines(shared.path).map { |line| JSON.parse(line)["names"] }
  end

  def test_configuration_from_the_environment
    decode = ->(url) { QuorvelSample.database_path_from_url(url) }
    assert_equal "/d/100% sure;really/é+ü.db", decode.call("sqlite3:/d/100%25%20sure%3Breally/%C3%A9+%c3%bc.db")
    assert_equal ["/d/%20.db", Encoding::UTF_8], decode.call("sqlite3:/d/%2520.db").then { |p| [p, p.encoding] }
    base = { "DATABASE_URL" => "sqlite3:/tmp/x.db", "SECRET_KEY_BASE" => "s" * 64, "QUORVEL_LAUNCH_TOKEN" => "t" }
    ["", "postgres://x/y", "sqlite3:relative.db", "sqlite3:/a%2", "sqlite3:/a%zz", "sqlite3:/a%FF", "sqlite3:/a%00b"]
      .map { |url| { "DATABASE_URL" => url } }.push({ "QUORVEL_LAUNCH_TOKEN" => "" }, { "SECRET_KEY_BASE" => "" }, { "SECRET_KEY_BASE" => "s" * 63 })
      .each { |bad| assert_raises(QuorvelSample::ConfigError, bad.to_s) { QuorvelSample::Config.from_env(base.merge(bad)) } }
  end
end
