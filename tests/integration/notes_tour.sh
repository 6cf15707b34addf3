#!/usr/bin/env bash
# The notes application's built-in tour against a fresh brelvo-service:
# every step must pass, every screen must be saved, and the service must
# have recorded the tour's session, its issue with two screenshots and one sent
# while offline, the app's log line, a failed and a passed test, an issue about
# the failed one, the update check and the crash report of a child process.
#
#   notes_tour.sh SERVICE_BIN NOTES_BIN SEED
set -euo pipefail
service_bin=$1 notes_bin=$2 seed=$3

source "$(dirname "$0")/service_up.sh"

status=0
BRELVO_HOME="$work/home" QT_QPA_PLATFORM="${NOTES_PLATFORM:-offscreen}" \
  "$notes_bin" --tour --service-url "$url" --screens "$work/screens" || status=$?
if [ "$status" -ne 0 ]; then
  echo "the tour exited with $status" >&2
  exit 1
fi

for name in 01-host 02-edited 03-menu 04-profile 05-preview 06-issue-screenshot 07-issue-filled 08-locked 09-unlocked \
    10-requirement 11-requirements 12-issue-requirement; do
  png="$work/screens/$name.png"
  # A PNG file starts with these eight bytes.
  if [ ! -s "$png" ] || [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    echo "missing or not a PNG: $name.png" >&2
    exit 1
  fi
done

kill "$service_pid"
wait "$service_pid" 2>/dev/null || true
service_pid=
summary=$("$service_bin" --db "$work/service.sqlite" --summary)
echo "$summary"
if ! grep -Eq '^sessions: +[1-9]' <<<"$summary" || ! grep -Eq '^requests: .*\bauth [2-9]' <<<"$summary"; then
  echo "the service did not record the tour's session and its renewed authentications" >&2
  exit 1
fi
if ! grep -Eq '^issues: +3 +\(3 screenshots' <<<"$summary"; then
  echo "the service did not receive the tour's three issues (two screenshots, then one sent offline)" >&2
  exit 1
fi
if ! grep -Eq '^crashes: +1$' <<<"$summary" || ! grep -Eq '\bcheck_for_update 1\b' <<<"$summary"; then
  echo "the service did not receive the child's crash report and the update check" >&2
  exit 1
fi
if ! grep -Eq '^log batches: +1 +\(1 entries\)' <<<"$summary"; then
  echo "the service did not receive the app's log line as one batch" >&2
  exit 1
fi
# One test failed and the issue posted from its page is about it; another passed.
failed=$(sed -En 's/^  requirement ([0-9]+): .*failed$/\1/p' <<<"$summary")
if [ "$(wc -w <<<"$failed")" -ne 1 ] || ! grep -Eq '^  requirement [0-9]+: (.*, )?passed$' <<<"$summary"; then
  echo "the service did not record one failed and a passed test" >&2
  exit 1
fi
if ! grep -Eq "^  #[0-9]+ on requirement $failed\$" <<<"$summary"; then
  echo "no issue about the failed test $failed" >&2
  exit 1
fi
