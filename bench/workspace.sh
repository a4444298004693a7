# Sourced by the benchmark scripts: make_workspace NAME creates a temporary
# working directory (removed on exit) with the snapshot kvel.dir/top and the
# command files args_10000.txt, args_100000.txt and args_1000000.txt from
# gen_cmdfile.py, and sets $work to it. Needs $root, the source tree.
make_workspace() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  trap 'rm -rf "$work"' EXIT INT TERM
  mkdir -p "$work/kvel.dir/top"
  : >"$work/kvel.dir/top/kvelk.exe"
  for n in 10000 100000 1000000; do
    python3 "$root/bench/gen_cmdfile.py" "$n" "$work/args_$n.txt"
  done
}
