#!/usr/bin/env bash
# tools/player-folder.sh GAME DATA_DIR
# Makes (on first use) and brings up to date the folder in which GAME runs for this player, and
# prints its path. The folder lies under the XDG data home ($XDG_DATA_HOME, else
# ~/.local/share), so the player's own files (settings, saves, hiscores, screenshots, logs) live
# apart from the build: `rm -rf build` or a new data set never touches them. The generated data
# set is reached through links to DATA_DIR's packs and folders, so the game keeps reading and
# writing the relative paths it was written for.
set -euo pipefail

if [ $# -ne 2 ] || [ ! -d "$2" ]; then
  echo "usage: tools/player-folder.sh fenwolt|skerrow DATA_DIR" >&2
  exit 2
fi
game="$1"
data="$(cd "$2" && pwd -P)"

# The files and folders of the data set that become the player's own: a default copied once
# (never over the player's), or a folder the game writes into.
case "$game" in
  skerrow) copied=(Ombrelit.ini); folders=() ;;
  fenwolt) copied=(); folders=(saves) ;;
  *) echo "tools/player-folder.sh: unknown game '$game'" >&2; exit 2 ;;
esac

base="${XDG_DATA_HOME:-}"
# A relative XDG_DATA_HOME is invalid and is ignored, as the XDG base directory rules say.
case "$base" in /*) ;; *) base="${HOME:?HOME is not set}/.local/share" ;; esac
folder="$base/$game"
mkdir -p "$folder"

contains() {
  local needle="$1"; shift
  local item
  for item in "$@"; do [ "$item" = "$needle" ] && return 0; done
  return 1
}

for entry in "$data"/* "$data"/.[!.]*; do
  [ -e "$entry" ] || continue
  name="$(basename "$entry")"
  target="$folder/$name"
  if contains "$name" "${copied[@]+"${copied[@]}"}"; then
    # Written only when the player has none: their own settings survive every rebuild.
    if [ ! -e "$target" ] && [ ! -L "$target" ]; then cp -p "$entry" "$target"; fi
  elif contains "$name" "${folders[@]+"${folders[@]}"}"; then
    [ -d "$target" ] || mkdir -p "$target"
  elif [ -L "$target" ] || [ ! -e "$target" ]; then
    # Links are ours to point at the current data set; a real file of that name is the
    # player's and stays.
    ln -sfn "$entry" "$target"
  fi
done
for name in "${folders[@]+"${folders[@]}"}"; do mkdir -p "$folder/$name"; done

# Links left dangling by a data set that no longer has their entry.
for link in "$folder"/* "$folder"/.[!.]*; do
  if [ -L "$link" ] && [ ! -e "$link" ]; then rm -f "$link"; fi
done

echo "$folder"
