#include "Dashboard.h"

namespace brelvo::service {

const char* const kDashboardCss = R"CSS(
:root{--bg:#f4f5f7;--card:#fff;--ink:#1d2330;--muted:#6b7385;--line:#e3e6ec;--accent:#3557d4;
--ok:#1f8a4c;--warn:#b7791f;--bad:#c53030;--info:#2b6cb0;--grey:#718096}
*{box-sizing:border-box}
body{margin:0;background:var(--bg);color:var(--ink);
font:14px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"Helvetica Neue",Arial,sans-serif}
code,pre,.id,.time{font-family:ui-monospace,"SFMono-Regular","DejaVu Sans Mono",Menlo,Consolas,monospace;font-size:12.5px}
a{color:var(--accent);text-decoration:none}a:hover{text-decoration:underline}
.top{position:sticky;top:0;z-index:2;display:flex;align-items:center;gap:24px;padding:12px 28px;
background:#1d2330;color:#fff;box-shadow:0 1px 3px rgba(0,0,0,.2)}
.brand{font-size:18px;font-weight:600;display:flex;align-items:center;gap:8px}
.brand .muted{color:#9aa3b5;font-weight:400}
.logo{display:inline-grid;place-items:center;width:28px;height:28px;border-radius:7px;background:var(--accent);font-weight:700}
.filters{display:flex;align-items:center;gap:12px;margin-left:auto}
.filters label{color:#c9cfdb;font-size:13px}
.filters select{margin-left:4px}
select,input,textarea,button{font:inherit;border:1px solid #c8cdd8;border-radius:6px;padding:5px 8px;background:#fff;color:var(--ink)}
button{background:var(--accent);border-color:var(--accent);color:#fff;font-weight:600;cursor:pointer}
button:hover{filter:brightness(1.1)}
.clear{color:#c9cfdb}
.live{font-size:12px;color:#9ae6b4;white-space:nowrap}.live.off{color:#feb2b2}
.toc{display:flex;gap:18px;padding:10px 28px;background:#fff;border-bottom:1px solid var(--line);font-size:13px}
main,.below{max-width:1240px;margin:0 auto;padding:0 20px}
section{scroll-margin-top:72px}
.card{background:var(--card);border:1px solid var(--line);border-radius:10px;padding:16px 20px;margin:20px auto;
box-shadow:0 1px 2px rgba(16,24,40,.04)}
h2{margin:0 0 12px;font-size:16px}h3{margin:0;font-size:15px}
.count{display:inline-block;min-width:22px;padding:0 7px;border-radius:10px;background:var(--bg);color:var(--muted);
font-size:12px;font-weight:500;text-align:center}
table{width:100%;border-collapse:collapse}
th{text-align:left;font-size:12px;text-transform:uppercase;letter-spacing:.03em;color:var(--muted);font-weight:600;
border-bottom:1px solid var(--line);padding:6px 10px}
td{padding:7px 10px;border-bottom:1px solid var(--line);vertical-align:top}
tr:last-child td{border-bottom:0}
.num{text-align:right}.muted{color:var(--muted)}.empty{color:var(--muted);font-style:italic}
tr.detail td{padding-top:0}
.reason{font-weight:600}
details{margin:2px 0}summary{cursor:pointer;color:var(--accent);font-size:13px}
pre{margin:6px 0;padding:10px 12px;background:#f7f8fa;border:1px solid var(--line);border-radius:6px;
white-space:pre-wrap;word-break:break-word;max-height:480px;overflow:auto}
.badge{display:inline-block;padding:1px 8px;margin:1px 4px 1px 0;border-radius:10px;font-size:12px;font-weight:600;
background:#edf0f5;color:#4a5568;white-space:nowrap}
.st-0{background:#edf0f5;color:#4a5568}.st-1{background:#e6effb;color:var(--info)}
.st-2{background:#e3f4ea;color:var(--ok)}.st-3{background:#fbe9e9;color:var(--bad)}
.type{background:#ece9fb;color:#5a3fc0}
.sev-critical,.sev-high,.sev-blocker{background:#fbe9e9;color:var(--bad)}
.sev-normal,.sev-medium{background:#fdf3e1;color:var(--warn)}.sev-low{background:#e6effb;color:var(--info)}
.state-suspend{background:#fdf3e1;color:var(--warn)}.state-resume{background:#e3f4ea;color:var(--ok)}
.issue{border:1px solid var(--line);border-radius:8px;padding:12px 14px;margin-bottom:12px}
.issue-head{display:flex;align-items:center;gap:8px;flex-wrap:wrap}
.issue .id,.batch .id{color:var(--muted)}
.summary{font-size:15px;font-weight:600}
.meta{display:grid;grid-template-columns:repeat(5,auto);gap:2px 18px;margin:8px 0;font-size:13px;justify-content:start}
.meta dt{color:var(--muted);font-size:11px;text-transform:uppercase;letter-spacing:.03em;grid-row:1}
.meta dd{margin:0;grid-row:2}
.description{white-space:pre-wrap;margin:6px 0 10px}
.shots{display:flex;gap:10px;flex-wrap:wrap}
.shot img{display:block;max-width:150px;max-height:200px;border:1px solid var(--line);border-radius:6px;background:#fafafa}
.shot:hover img{border-color:var(--accent)}
.batch{border:1px solid var(--line);border-radius:8px;margin-bottom:10px;overflow:hidden}
.batch-head{padding:7px 12px;background:#f7f8fa;border-bottom:1px solid var(--line);font-size:13px}
.entries td{padding:4px 12px}.entries td:nth-child(-n+2){white-space:nowrap;width:1%}.entries .time{color:var(--muted)}
.msg{white-space:pre-wrap;word-break:break-word}
.level{display:inline-block;min-width:64px;text-align:center;border-radius:4px;font-size:11px;font-weight:700;
text-transform:uppercase;padding:1px 6px}
.lvl-error{background:#fbe9e9;color:var(--bad)}.lvl-warning{background:#fdf3e1;color:var(--warn)}
.lvl-info{background:#e6effb;color:var(--info)}.lvl-debug,.lvl-other{background:#edf0f5;color:var(--grey)}
.history{margin:6px 0;padding-left:18px;font-size:13px}
.badges{max-width:360px}
.paging{display:flex;gap:16px;justify-content:center;margin:10px 0 24px}
.forms{display:grid;grid-template-columns:repeat(3,1fr);gap:18px;align-items:start}
form.admin{display:flex;flex-direction:column;gap:8px;padding:14px;border:1px solid var(--line);border-radius:8px}
form.admin label{display:flex;flex-direction:column;gap:3px;font-size:12px;color:var(--muted)}
form.admin button{align-self:flex-start}
.hint{margin:0;font-size:12px;color:var(--muted)}
.result{font-size:13px}.result.ok{color:var(--ok)}.result.bad{color:var(--bad)}
)CSS";

// Device data reaches the page only through the server's escaped HTML: the
// script moves parsed nodes and writes its own words with textContent.
const char* const kDashboardScript = R"JS(
(function () {
  'use strict';
  const live = document.getElementById('live');
  let stamp = document.getElementById('records').dataset.stamp;

  async function refresh() {
    const answer = await fetch(location.href, {cache: 'no-store'});
    if (!answer.ok) throw new Error('HTTP ' + answer.status);
    const page = new DOMParser().parseFromString(await answer.text(), 'text/html');
    const fresh = page.getElementById('records');
    const old = document.getElementById('records');
    if (!fresh || !old) return;
    // What the reader unfolded stays unfolded.
    for (const open of old.querySelectorAll('details[open][id]')) {
      const same = fresh.querySelector('#' + CSS.escape(open.id));
      if (same) same.open = true;
    }
    stamp = fresh.dataset.stamp;
    old.replaceWith(document.adoptNode(fresh));
  }

  async function poll() {
    try {
      const answer = await fetch('/admin/stamp', {cache: 'no-store'});
      const now = (await answer.json()).stamp;
      if (now !== stamp) await refresh();
      live.textContent = 'Live · ' + new Date().toLocaleTimeString();
      live.className = 'live';
    } catch (e) {
      live.textContent = 'Service unreachable, retrying';
      live.className = 'live off';
    }
    setTimeout(poll, 3000);
  }
  setTimeout(poll, 3000);

  for (const form of document.querySelectorAll('form.admin')) {
    form.addEventListener('submit', async function (event) {
      event.preventDefault();
      const result = form.querySelector('.result');
      try {
        const answer = await fetch(form.action, {method: 'POST', body: new URLSearchParams(new FormData(form))});
        const body = await answer.json().catch(function () { return {}; });
        result.textContent = body.message || body.error || ('HTTP ' + answer.status);
        result.className = 'result ' + (answer.ok ? 'ok' : 'bad');
        if (answer.ok) {
          // A new build belongs in the filters and forms too: load the whole page.
          if (form.action.endsWith('/admin/apps')) location.reload();
          else await refresh();
        }
      } catch (e) {
        result.textContent = 'The service did not answer';
        result.className = 'result bad';
      }
    });
  }
})();
)JS";

}  // namespace brelvo::service
