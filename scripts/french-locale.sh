#!/usr/bin/env bash
# Makes a fr_FR.UTF-8 locale available without touching the system's locale
# list: compiled into build/locale, used through LOCPATH.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$root/build/locale"
[ -d "$dir/fr_FR.UTF-8" ] && exit 0
mkdir -p "$dir"
localedef -i fr_FR -f UTF-8 "$dir/fr_FR.UTF-8" 2>/dev/null || [ -d "$dir/fr_FR.UTF-8" ]
