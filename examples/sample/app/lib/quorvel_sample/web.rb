# frozen_string_literal: true

require "cgi"
require "csv"
require "erb"
require "json"
require "rack/request"
require "rack/utils"
require "time"

module QuorvelSample
  # The pages and form handlers. Runs behind the launch-token gate and the
  # cookie session, see QuorvelSample.app.
  class Web
    VIEWS = File.expand_path("../../views", __dir__)
    TEMPLATES = %w[layout home note settings about not_found].freeze
    HTML = "text/html; charset=utf-8"
    MAX_NOTE_CHARS = 2000
    MAX_RECORD_BYTES = 64 * 1024

    ROUTES = {
      %w[GET /] => :home,
      %w[GET /up] => :up,
      %w[GET /about] => :about,
      %w[GET /notes.csv] => :export,
      %w[GET /settings] => :settings,
      %w[POST /settings] => :update_settings,
      %w[POST /notes] => :create_note,
      %w[POST /backup] => :backup,
      %w[POST /record] => :record
    }.freeze

    def initialize(db:, config:, log:)
      @db = db
      @config = config
      @log = log
      @templates = TEMPLATES.to_h do |name|
        source = File.read(File.join(VIEWS, "#{name}.erb"), encoding: Encoding::UTF_8)
        [name.to_sym, ERB.new(source, trim_mode: "-")]
      end
    end

    def call(env)
      req = Rack::Request.new(env)
      verb = req.head? ? "GET" : req.request_method
      path = req.path_info

      if (action = ROUTES[[verb, path]])
        # The token cookie rides along with cross-site form posts too.
        return text(403, "Cross-site request refused.\n") if verb == "POST" && !same_origin?(req)

        send(action, req)
      elsif verb == "GET" && (match = %r{\A/notes/(\d+)\z}.match(path))
        show_note(req, match[1].to_i)
      elsif ROUTES.key?(["GET", path]) || ROUTES.key?(["POST", path])
        text(405, "Method not allowed.\n")
      else
        page(req, :not_found, title: "Not found – Quorvel Sample", status: 404)
      end
    end

    private

    def up(_req)
      text(200, "ok")
    end

    def home(req)
      page(req, :home,
           notes: @db.notes,
           notes_added: req.session["notes_added"].to_i,
           last_backup: @db.setting("last_backup"))
    end

    def show_note(req, id)
      note = @db.note(id)
      return page(req, :not_found, title: "Not found – Quorvel Sample", status: 404) unless note

      page(req, :note, title: "#{note.title[0, 40]} – Quorvel Sample", note: note)
    end

    def create_note(req)
      body = QuorvelSample.utf8(req.POST["body"]).gsub("\r\n", "\n").strip
      if body.empty?
        req.session["flash"] = "Write something before adding a note."
      else
        @db.add_note(body[0, MAX_NOTE_CHARS])
        req.session["notes_added"] = req.session["notes_added"].to_i + 1
      end
      redirect("/")
    end

    # The notes as a file to keep: the window saves it to the download folder.
    def export(_req)
      csv = CSV.generate do |rows|
        rows << %w[id created_at body]
        @db.notes.each { |note| rows << [note.id, note.created_at, note.body] }
      end
      [200, { "content-type" => "text/csv; charset=utf-8", "content-disposition" => 'attachment; filename="notes.csv"' },
       [csv]]
    end

    def settings(req)
      page(req, :settings, title: "Settings – Quorvel Sample")
    end

    def update_settings(req)
      @db.update_setting("display_name", QuorvelSample.utf8(req.POST["display_name"]).strip[0, 80])
      req.session["flash"] = "Settings saved."
      redirect("/settings")
    end

    def backup(req)
      path = @db.backup_to(@config.backups_dir)
      @db.update_setting("last_backup", path)
      req.session["flash"] = "Backup written."
      redirect("/")
    rescue SystemCallError, SQLite3::Exception => e
      req.session["flash"] = "Backup failed: #{e.message}"
      redirect("/")
    end

    def about(req)
      page(req, :about, title: "About – Quorvel Sample", config: @config, log_path: @log.path)
    end

    def record(req)
      raw = req.body ? req.body.read(MAX_RECORD_BYTES + 1).to_s : ""
      return text(413, "Event too large.\n") if raw.bytesize > MAX_RECORD_BYTES

      event = begin
        recorded_event(JSON.parse(raw))
      rescue JSON::ParserError
        nil
      end
      return text(400, "Unknown or malformed event.\n") unless event

      @log.write(event)
      [204, {}, []]
    end

    # Only these shapes reach the log, so tests can rely on them.
    def recorded_event(data)
      return unless data.is_a?(Hash)

      case data["event"]
      when "alert"
        { "event" => "alert" }
      when "confirm"
        { "event" => "confirm", "answer" => data["answer"] } if boolean?(data["answer"])
      when "files"
        names = data["names"]
        if %w[single multiple].include?(data["input"]) && names.is_a?(Array) && names.all?(String)
          { "event" => "files", "input" => data["input"], "names" => names }
        end
      when "connection"
        { "event" => "connection", "offline" => data["offline"] } if boolean?(data["offline"])
      when "fullscreen"
        { "event" => "fullscreen", "state" => data["state"] } if %w[entered left].include?(data["state"])
      end
    end

    def boolean?(value)
      [true, false].include?(value)
    end

    def same_origin?(req)
      origin = req.get_header("HTTP_ORIGIN")
      origin.nil? || origin == "#{req.scheme}://#{req.host_with_port}"
    end

    def page(req, template, title: "Quorvel Sample", status: 200, **locals)
      shared = {
        title: title,
        current_path: req.path_info,
        # Rendered here as well as in the page script: the script cannot see
        # the cookie if the shell marks it HttpOnly.
        offline: req.cookies["offline"] == "1",
        flash: req.session.delete("flash"),
        display_name: @db.setting("display_name").to_s,
        # Local links name 127.0.0.1 on purpose; the shell treats "localhost" as foreign.
        origin: "http://127.0.0.1:#{req.port}",
        port: req.port
      }
      view = shared.merge(locals)
      content = render(template, view)
      html = render(:layout, view.merge(content: content))
      [status, { "content-type" => HTML, "cache-control" => "no-store" }, [html]]
    end

    def render(template, locals)
      @templates.fetch(template).result(View.new(locals).scope)
    end

    def redirect(location)
      [303, { "location" => location, "content-type" => "text/plain; charset=utf-8" }, ["See #{location}\n"]]
    end

    def text(status, body)
      [status, { "content-type" => "text/plain; charset=utf-8", "cache-control" => "no-store" }, [body]]
    end

    # What a template can call: its locals plus a few helpers.
    class View
      def initialize(locals)
        locals.each { |name, value| define_singleton_method(name) { value } }
      end

      # CGI's escaping leaves "/" alone, so URLs stay readable in the markup.
      def h(value)
        CGI.escapeHTML(QuorvelSample.utf8(value))
      end

      def local_time(iso8601)
        Time.iso8601(iso8601).localtime.strftime("%-d %b %Y, %H:%M")
      rescue ArgumentError
        iso8601.to_s
      end

      def nav_link(id, href, label, extra_class = nil)
        current = current_path == href ? ' aria-current="page"' : ""
        %(<a id="#{id}" class="rail__link#{" #{extra_class}" if extra_class}" href="#{href}"#{current}>#{h label}</a>)
      end

      def scope
        binding
      end
    end
  end
end
