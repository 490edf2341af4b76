"use strict";

(() => {
  const $ = (id) => document.getElementById(id);
  const clock = () => new Date().toLocaleTimeString();

  // Same-origin, so the launch_token cookie goes along.
  function record(event) {
    return fetch("/record", {
      method: "POST",
      credentials: "same-origin",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify(event),
    }).catch(() => {});
  }

  // Connection: the shell flips the "offline" cookie, then fires connection:changed.
  function cookieSaysOffline() {
    return document.cookie.split(/;\s*/).includes("offline=1");
  }

  function showConnection(offline) {
    const banner = $("offline-indicator");
    if (banner) banner.hidden = !offline;
    const status = $("connection-status");
    if (status) status.textContent = offline ? "Offline" : "Online";
  }

  document.addEventListener("connection:changed", () => {
    const offline = cookieSaysOffline();
    showConnection(offline);
    const log = $("connection-log");
    if (log) {
      const item = document.createElement("li");
      item.textContent = `${clock()}: ${offline ? "went offline" : "back online"}`;
      log.append(item);
    }
    record({ event: "connection", offline });
  });

  // A page restored from the back/forward cache may have missed a change.
  window.addEventListener("pageshow", (event) => {
    if (event.persisted) showConnection(cookieSaysOffline());
  });

  function on(id, type, handler) {
    const element = $(id);
    if (element) element.addEventListener(type, handler);
  }

  // Dialogs
  let alerts = 0;
  on("alert-button", "click", () => {
    alert("Hello from the Quorvel sample app.");
    alerts += 1;
    $("alert-result").textContent = `Alert closed (${alerts})`;
    record({ event: "alert" });
  });

  on("confirm-button", "click", () => {
    const answer = confirm("Do you want to continue?");
    const result = $("confirm-result");
    result.textContent = answer ? "OK" : "Cancel";
    result.dataset.answer = String(answer);
    record({ event: "confirm", answer });
  });

  // File choosers
  function watchFiles(id, input, emptyText) {
    on(id, "change", (event) => {
      const names = Array.from(event.target.files, (file) => file.name);
      $(`${id}-result`).textContent = names.length ? names.join(", ") : emptyText;
      record({ event: "files", input, names });
    });
  }
  watchFiles("file-single", "single", "Nothing chosen");
  watchFiles("file-multiple", "multiple", "Nothing chosen");

  // New windows
  on("window-open-button", "click", () => {
    const opened = window.open("/about");
    $("window-open-result").textContent = opened ? "Opened a window" : "window.open returned null";
  });

  // Video: drawn on a canvas and streamed into a <video>, so no media file is needed.
  function startVideo() {
    const canvas = $("video-canvas");
    const video = $("demo-video");
    const frame = $("video-frame");
    if (!canvas || !frame) return null;

    const context = canvas.getContext("2d");
    const draw = (time) => {
      const { width, height } = canvas;
      const hue = (time / 40) % 360;
      const gradient = context.createLinearGradient(0, 0, width, height);
      gradient.addColorStop(0, `hsl(${hue}, 60%, 45%)`);
      gradient.addColorStop(1, `hsl(${(hue + 80) % 360}, 60%, 35%)`);
      context.fillStyle = gradient;
      context.fillRect(0, 0, width, height);
      const x = width / 2 + Math.sin(time / 700) * (width / 3);
      const y = height / 2 + Math.cos(time / 500) * (height / 4);
      context.fillStyle = "rgba(255, 255, 255, 0.9)";
      context.beginPath();
      context.arc(x, y, 14, 0, Math.PI * 2);
      context.fill();
      context.font = "600 16px system-ui, sans-serif";
      context.fillText(`Quorvel · ${clock()}`, 12, height - 14);
      requestAnimationFrame(draw);
    };
    requestAnimationFrame(draw);

    if (video && typeof canvas.captureStream === "function" && "srcObject" in video) {
      try {
        video.srcObject = canvas.captureStream(30);
        video.hidden = false;
        canvas.hidden = true;
        video.play().catch(() => {});
        return video;
      } catch (error) {
        video.hidden = true;
        canvas.hidden = false;
      }
    }
    return frame;
  }

  // Started once the page has loaded and been drawn: the first stream sets up
  // WebKit's media engine (GStreamer), which held the page back by over half a second.
  let fullscreenTarget = $("video-frame");
  window.addEventListener("load", () => requestAnimationFrame(() => setTimeout(() => {
    fullscreenTarget = startVideo();
  })));

  on("fullscreen-button", "click", () => {
    const target = fullscreenTarget;
    const result = $("fullscreen-result");
    const request = target && (target.requestFullscreen || target.webkitRequestFullscreen);
    if (!request) {
      result.textContent = "Full screen is not available here";
      return;
    }
    try {
      const pending = request.call(target);
      if (pending && pending.catch) pending.catch((error) => { result.textContent = `Refused: ${error.message}`; });
    } catch (error) {
      result.textContent = `Refused: ${error.message}`;
    }
  });

  // WebKit may fire both the plain and the prefixed event for one change.
  let fullscreen = false;
  function fullscreenChanged() {
    const now = Boolean(document.fullscreenElement || document.webkitFullscreenElement);
    if (now === fullscreen) return;
    fullscreen = now;
    const result = $("fullscreen-result");
    if (result) result.textContent = now ? "Full screen" : "Windowed";
    record({ event: "fullscreen", state: now ? "entered" : "left" });
  }
  document.addEventListener("fullscreenchange", fullscreenChanged);
  document.addEventListener("webkitfullscreenchange", fullscreenChanged);
})();
