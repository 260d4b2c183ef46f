#!/usr/bin/env bash
# Ctrl-C in a long module call, as a user at the Octave prompt sends it: an
# octave-cli session reads its commands from a pipe, one line calls a module
# on inputs that take many seconds inside a try/catch, and SIGINT arrives a
# second into the call. The session must get its prompt back within a
# second, keep its workspace, and the try/catch must not have swallowed the
# interrupt (Octave's own interrupt ends the line; lasterr holds the module's
# "<module>:interrupted"). Prints each case's latency from SIGINT to the
# next command's output.
# Usage: interrupt_call.sh MODULE_DIR
set -uo pipefail
module_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each case: the module (and what the call is, after a space), and the Octave
# lines that set its inputs up and call it.
declare -A setup=(
  # Equal rows of 0.5: the walk goes pair by pair over 4 x 10^8 pairs.
  [Ortesk_count_mex]="S = 0.5 * ones (20000, 20); call = @() Ortesk_count_mex ([], S);"
  # One bucket of 10^5 codes listed 10^5 times.
  [Quivane_mex]="n = 1e5; call = @() Quivane_mex (zeros (1, 3), [0.25 0.75], ones (n, 1), 1000001 * ones (1, n), [n; n]);"
  # 8192 states on two threads over 10^5 steps.
  [Zellmor_mex]="[S, P] = all_subsets (13); O = 0.5 * ones (13, 1e5); call = @() Zellmor_mex (1e5, O, S, P);"
  # 400 sequences of 10^4 steps over 1024 states, the threads taking whole sequences.
  ["Zellmor_mex batch"]="[S, P] = all_subsets (10); Os = repmat ({0.5 * ones(10, 1e4)}, 1, 400); call = @() Zellmor_mex (1e4, Os, S, P);"
  # The most likely path over 8192 states and 10^5 steps, its trace kept a column every 317 steps.
  [Zellmor_path_mex]="[S, P] = all_subsets (13); O = 0.5 * ones (13, 1e5); call = @() nthargout (1:3, @Zellmor_path_mex, 1e5, O, S, P);"
  # The forward sweep, then the backward one, over 8192 states and 2 x 10^4 steps.
  [Zellmor_grad_mex]="[S, P] = all_subsets (13); O = 0.5 * ones (13, 2e4); call = @() nthargout (2, @Zellmor_grad_mex, 2e4, O, S, P);"
)

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Waits up to $2 seconds for the pattern $1 in the session's output.
wait_for() {
  local deadline=$(( $(now_ms) + $2 * 1000 ))
  until grep -q "$1" "$work/out"; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.01
  done
}

status=0
for case_name in Zellmor_mex "Zellmor_mex batch" Zellmor_grad_mex Zellmor_path_mex Ortesk_count_mex Quivane_mex; do
  module=${case_name%% *}
  cat >"$work/in" <<EOF
addpath ('$module_dir'); x = 42; ${setup[$case_name]}
try, printf ("calling\n"), fflush (stdout); call (); printf ("returned\n"); catch err, printf ("caught %s\n", err.identifier); end, printf ("after the call\n")
[~, id] = lasterr (); printf ("last error %s; x = %d\n", id, x); fflush (stdout);
EOF
  : >"$work/out"
  octave-cli --no-history --no-gui -q --no-init-file <"$work/in" >"$work/out" 2>&1 &
  session=$!
  problem=""
  if wait_for calling 60; then
    sleep 1
    sent=$(now_ms)
    kill -INT "$session"
    if wait_for "last error" 20; then
      latency=$(( $(now_ms) - sent ))
      [ "$latency" -lt 1000 ] || problem="the prompt came back $latency ms after SIGINT;"
    else
      problem="no prompt 20 s after SIGINT;"
    fi
  else
    problem="the call never started;"
  fi
  kill -KILL "$session" 2>/dev/null
  wait "$session" 2>/dev/null
  grep -q "last error $module:interrupted; x = 42" "$work/out" || problem="$problem lasterr or the workspace is not as expected;"
  if grep -qE "returned|caught|after the call" "$work/out"; then
    problem="$problem the line went on after the call (the try/catch swallowed Ctrl-C);"
  fi
  if [ -n "$problem" ]; then
    echo "FAIL $case_name:$problem"
    sed 's/^/    /' "$work/out"
    status=1
  else
    echo "ok   $case_name: stopped $latency ms after SIGINT; the try/catch did not catch it; lasterr $module:interrupted"
  fi
done
exit $status
