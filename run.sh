#!/usr/bin/env bash
# ./run.sh fenwolt | skerrow : installs what is missing, builds, writes the game's data set and
# starts the game in the player's own folder (under the XDG data home, made on first start),
# which reaches the data set through links; see tools/player-folder.sh.
set -euo pipefail
cd "$(dirname "$0")"
game="${1:-}"
case "$game" in
  fenwolt|skerrow) ;;
  *) echo "usage: ./run.sh fenwolt|skerrow" >&2; exit 2 ;;
esac
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target "$game" "${game}-data"
program="$(pwd -P)/build/$game/$game"
folder="$(bash tools/player-folder.sh "$game" "build/data/$game")"
cd "$folder"
exec "$program"
