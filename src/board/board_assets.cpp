#include "board/board_assets.h"

namespace trevolo {

// The page follows the store's events: a change that concerns it fetches
// the page again and swaps its <main>; a lost store shows the banner; after
// the event stream broke, its reopening fetches again to catch up. A fetch
// that fails is tried again every few seconds until one succeeds, so the
// page comes back by itself whatever told it last. Without script the page
// refreshes itself (a <meta> inside <noscript>).
std::string_view BoardScript()
{
    return R"JS('use strict';
(function () {
  var body = document.body;
  var own = body.getAttribute('data-c');
  var banner = document.getElementById('banner');
  var pending = null, broken = false;
  function refetch(delay) {
    if (pending) return;
    pending = setTimeout(function () {
      pending = null;
      fetch(location.href, { cache: 'no-store', credentials: 'same-origin' }).then(function (r) {
        return r.text().then(function (t) { return { ok: r.ok, text: t }; });
      }).then(function (r) {
        var doc = new DOMParser().parseFromString(r.text, 'text/html');
        var fresh = doc.querySelector('main'), old = document.querySelector('main');
        if (fresh && old) old.replaceWith(document.importNode(fresh, true));
        if (banner) banner.hidden = r.ok;
        if (!r.ok) refetch(5000);
      }).catch(function () { if (banner) banner.hidden = false; refetch(5000); });
    }, delay || 150);
  }
  function refetchNow() {
    if (pending) { clearTimeout(pending); pending = null; }
    refetch();
  }
  if (!window.EventSource) return;
  var events = new EventSource('/events');
  events.addEventListener('change', function (e) {
    var c = null;
    try { c = String(JSON.parse(e.data).c); } catch (x) { return; }
    if (!own || own === c || c === '0') refetch();
  });
  events.addEventListener('store', function (e) {
    var up = true;
    try { up = JSON.parse(e.data).up !== false; } catch (x) { return; }
    if (banner) banner.hidden = up;
    if (up) refetchNow();
  });
  events.onopen = function () { if (broken) { broken = false; refetchNow(); } };
  events.onerror = function () { broken = true; };
})();
)JS";
}

// Large type and thick shapes for a wall screen a few metres away; the
// state is told by word and shape, the colours only repeat it.
std::string_view BoardStyle()
{
    return R"CSS(:root { color-scheme: light; --ok: #1b5e20; --alarm: #b71c1c; --done: #0d47a1; --quiet: #555; }
* { box-sizing: border-box; }
body { margin: 0; font-family: "Noto Sans CJK JP", "Noto Sans JP", sans-serif; font-size: 20px; background: #fafafa; color: #111; }
header { display: flex; align-items: center; gap: 1.5em; padding: .4em 1em; background: #263238; color: #fff; }
header a { color: #fff; }
header h1 { font-size: 1.4em; margin: 0; }
main { padding: .5em 1em 2em; }
.banner { background: #fff3cd; color: #5d4300; border: 3px solid #b58900; padding: .6em 1em; font-size: 1.3em; font-weight: bold; margin: .5em 1em; }
.banner[hidden] { display: none; }
form.filter input { font-size: 1em; padding: .2em .4em; min-width: 16em; }
h2 { font-size: 1.2em; margin: 1em 0 .4em; border-bottom: 2px solid #90a4ae; }
ul.tiles { list-style: none; margin: 0; padding: 0; display: grid; grid-template-columns: repeat(auto-fill, minmax(19em, 1fr)); gap: .6em; }
.tile a { display: block; color: inherit; text-decoration: none; background: #fff; border: 2px solid #b0bec5; border-left-width: 12px; padding: .5em .7em; min-height: 8em; }
.tile .name { font-size: 1.25em; font-weight: bold; overflow-wrap: anywhere; }
.tile .state { font-size: 1.3em; font-weight: bold; margin: .2em 0; }
.tile .meta, .tile .cap { font-size: .9em; }
.tile.ok a { border-left-color: var(--ok); } .tile.ok .state { color: var(--ok); }
.tile.alarm a { border-left-color: var(--alarm); border-width: 4px 4px 4px 12px; background: #ffebee; } .tile.alarm .state { color: var(--alarm); }
.tile.answered a { border-left-color: var(--done); } .tile.answered .state { color: var(--done); }
.tile.quiet a { border-left-color: var(--quiet); border-style: dashed; } .tile.quiet .state { color: var(--quiet); }
table { border-collapse: collapse; margin: .4em 0 1em; }
th, td { border: 1px solid #b0bec5; padding: .25em .6em; text-align: left; vertical-align: top; }
th { background: #eceff1; }
.charts svg { width: 100%; max-width: 1400px; height: auto; display: block; background: #fff; border: 1px solid #cfd8dc; margin-bottom: .6em; }
svg text { font-size: 15px; fill: #222; }
svg .ctitle { font-size: 18px; font-weight: bold; }
svg .trace { stroke: #37474f; stroke-width: 1.5; }
svg .pt circle { fill: #37474f; }
svg .pt.marked .markshape { fill: #c62828; stroke: #000; stroke-width: 1; }
svg .alarmshape { fill: #ff6f00; stroke: #000; stroke-width: 1; }
svg .noteshape { stroke: #1565c0; stroke-width: 2; fill: none; }
svg .line { stroke-width: 2; }
svg .line.centre { stroke: #2e7d32; } svg .line.control { stroke: #c62828; } svg .line.spec { stroke: #1565c0; }
svg .bar { fill: #90a4ae; stroke: #37474f; }
svg .curve { stroke: #c62828; stroke-width: 2; }
.verdict { font-weight: bold; }
.muted { color: #555; }
)CSS";
}

}  // namespace trevolo
