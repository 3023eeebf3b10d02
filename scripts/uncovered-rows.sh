#!/usr/bin/env bash
# Reads the trace a coverage run leaves (scripts/test.sh coverage) and lists the
# rows of the library's translation tables that no test made translate an answer,
# and the tables no test even built. Exit status 1 when there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
trace=${1:?usage: $0 TRACE_FILE}
# A table's site is the line that declares it; the compiler records the line
# where its initializer ends, so each record is matched to the nearest site above.
sites=$(grep -rnE --include='*.cpp' 'pcall::Table<[A-Za-z]*> +[a-z][A-Za-z]* *[{(]' src | cut -d: -f1,2 | sort -u)
sed "s#$PWD/##" "$trace" | grep -E '^[TH] src/' | sort -u | awk -v sites="$sites" '
  function site(where,    f, l, i, best, bestLine) {
    split(where, p, ":"); f = p[1]; l = p[2] + 0; best = ""; bestLine = -1
    for (i = 1; i <= n; i++) if (file[i] == f && line[i] <= l && line[i] > bestLine) {
      best = list[i]; bestLine = line[i]
    }
    return best == "" ? where : best
  }
  BEGIN {
    n = split(sites, list, "\n")
    for (i = 1; i <= n; i++) { split(list[i], p, ":"); file[i] = p[1]; line[i] = p[2] + 0 }
  }
  $1 == "T" { s = site($2); rows[s " " $3] = 1; built[s] = 1 }
  $1 == "H" { hit[site($2) " " $3] = 1 }
  END {
    total = 0; missed = 0; unbuilt = 0
    for (r in rows) { total++; if (!(r in hit)) { print "uncovered row: " r; missed++ } }
    for (i = 1; i <= n; i++) if (list[i] != "" && !(list[i] in built)) {
      print "table never built: " list[i]; unbuilt++
    }
    printf "translation rows reached: %d of %d; tables never built: %d\n", total - missed, total, unbuilt
    exit (missed + unbuilt) > 0
  }'
