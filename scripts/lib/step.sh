# Sourced by the scripts that cross-build a library into the cache:
#   step NAME COMMAND...  runs COMMAND niced into "$log" under a "==== NAME"
#   line and says how long it took; on failure shows the log's end and exits.
step() {
  local start=$SECONDS
  echo "==== $1" >>"$log"
  if ! nice -n 10 "${@:2}" >>"$log" 2>&1; then
    echo "$(basename "$0"): $1 failed; the end of $log:" >&2
    tail -n 30 "$log" >&2
    exit 1
  fi
  echo "  $1 in $((SECONDS - start)) s" >&2
}
