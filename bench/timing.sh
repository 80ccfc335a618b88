# Sourced by the bench scripts. timed NAME COMMAND...: runs the command once under GNU time
# and keeps, for NAME, the shortest wall and CPU (user + system) times and the largest peak
# memory (kB) seen, in wall[NAME], cpu[NAME] and peak[NAME], which the caller declares.
timed() {
  local name=$1 record w c m
  shift
  record=$(mktemp)
  /usr/bin/time -o "$record" -f '%e %U %S %M' "$@"
  read -r w c m < <(tail -n 1 "$record" | awk '{ print $1, $2 + $3, $4 }')
  rm -f "$record"
  if [ -z "${wall[$name]:-}" ] || awk -v a="$w" -v b="${wall[$name]}" 'BEGIN { exit !(a < b) }'; then wall[$name]=$w; fi
  if [ -z "${cpu[$name]:-}" ] || awk -v a="$c" -v b="${cpu[$name]}" 'BEGIN { exit !(a < b) }'; then cpu[$name]=$c; fi
  if [ -z "${peak[$name]:-}" ] || [ "$m" -gt "${peak[$name]}" ]; then peak[$name]=$m; fi
}
