# What the source checks (scripts/check-*) share: the list of source files, their code without
# comments and string literals, and the lists of files a check lets pass, each with its reason.
# Sourced, not run. Every check prints one line per finding as FILE:LINE: what is wrong, and exits
# 1 when there is one, 2 when it cannot run.

# The C and C++ sources under the given folders (those that exist), one per line, sorted.
check_sources() {
  local d existing=()
  for d in "$@"; do [ -d "$d" ] && existing+=("$d"); done
  [ ${#existing[@]} -gt 0 ] || return 0
  find "${existing[@]}" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cpp' \) | LC_ALL=C sort
}

# FILE:LINE:CODE for every line of the files on standard input whose code (comments and the
# contents of string and character literals removed) matches the extended regular expression $1.
check_code_matching() {
  local files
  files=$(cat)
  [ -n "$files" ] || return 0
  # shellcheck disable=SC2086
  awk -v pattern="$1" '
    FNR == 1 { inBlock = 0 }
    {
      line = $0
      if (inBlock) {
        if (!sub(/^([^*]|\*+[^*\/])*\*+\//, "", line)) next
        inBlock = 0
      }
      gsub(/"([^"\\]|\\.)*"/, "\"\"", line)
      gsub(/'"'"'([^'"'"'\\]|\\.)*'"'"'/, "'"'"''"'"'", line)
      gsub(/\/\*([^*]|\*+[^*\/])*\*+\//, " ", line)
      if (match(line, /\/\*/)) { line = substr(line, 1, RSTART - 1); inBlock = 1 }
      sub(/\/\/.*/, "", line)
      if (line ~ pattern) printf "%s:%d:%s\n", FILENAME, FNR, line
    }' $files
}

# FILE:LINE:TEXT for every #include line of the files on standard input that names a header
# matching the extended regular expression $1 (matched against what stands between the quotes
# or the angle brackets).
check_includes_matching() {
  local files
  files=$(cat)
  [ -n "$files" ] || return 0
  # shellcheck disable=SC2086
  awk -v pattern="$1" '
    /^[ \t]*#[ \t]*include[ \t]*["<]/ {
      name = $0
      sub(/^[ \t]*#[ \t]*include[ \t]*["<]/, "", name)
      sub(/[">].*/, "", name)
      if (name ~ "^(" pattern ")") printf "%s:%d:%s\n", FILENAME, FNR, $0
    }' $files
}

# Whether path $1 is let pass by one of the entries "PATH-OR-FOLDER/  reason" in the array named
# $2: an entry ending in / lets a whole folder pass.
check_allowed() {
  local path=$1 entry prefix
  local -n entries=$2
  for entry in "${entries[@]}"; do
    prefix=${entry%%[[:space:]]*}
    if [[ $prefix == */ ]]; then
      [[ $path == "$prefix"* ]] && return 0
    elif [ "$path" = "$prefix" ]; then
      return 0
    fi
  done
  return 1
}

# Prints a finding for every file entry (not folder entries) of the array named $1 that no longer
# appears among the FILE:LINE:... findings on standard input: a list of exceptions must not outlive
# the exceptions. $2 says what the entry was let pass for.
check_stale_entries() {
  local found entry prefix stale=0
  local -n listed=$1
  found=$(cut -d: -f1 | sort -u)
  for entry in "${listed[@]}"; do
    prefix=${entry%%[[:space:]]*}
    [[ $prefix == */ ]] && continue
    if [ ! -e "$prefix" ] || ! grep -qxF "$prefix" <<<"$found"; then
      echo "$prefix: listed as allowed ($2) but no longer needs it: take it off the list in $0"
      stale=1
    fi
  done
  return "$stale"
}

# Reports the FILE:LINE:CODE findings on standard input that the array named $1 does not let pass,
# each as FILE:LINE: followed by the printf format $3 applied to the code (trimmed), and the entries
# of that array that no longer let anything pass ($2: what they let pass). Returns 1 when it
# reported anything.
check_report() {
  local findings f file rest code status=0
  findings=$(cat)
  while IFS= read -r f; do
    [ -n "$f" ] || continue
    file=${f%%:*}
    check_allowed "$file" "$1" && continue
    rest=${f#*:}
    code=$(sed -E 's/^[[:space:]]+//; s/[[:space:]]+$//' <<<"${rest#*:}")
    # shellcheck disable=SC2059
    echo "$file:${rest%%:*}: $(printf "$3" "$code")"
    status=1
  done <<<"$findings"
  check_stale_entries "$1" "$2" <<<"$findings" || status=1
  return "$status"
}
