#!/bin/bash
# Regenerates docs/gallery from a build: every pattern kind, render mode,
# glass on and off, the three emitters and every Basic preset, rendered by
# `rimeflower` over the demo's landscape and a photo-like still life, plus a
# captioned contact sheet and the README that lists the exact commands.
#
# Usage: scripts/make-gallery.sh [--build DIR] [--write-presets]
#   --build DIR      build folder to use (default: build); configured and
#                    built (rimeflower, rf-gallery) when needed
#   --write-presets  first rewrite resources/Rimeflower/Presets/Basic from the
#                    table below, through `rimeflower presets save`
#
# Renders are made at 960 x 720 and halved, so the pictures show the effect
# at a typical working size with smooth edges. The output depends only on
# the sources and the ImageMagick version: JPEGs are written without
# metadata, and the last-used values are kept in a throw-away folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=build
write_presets=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=${2:?--build needs a folder}; shift 2 ;;
    --write-presets) write_presets=1; shift ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "make-gallery: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
case "$build" in /*) ;; *) build=$root/$build ;; esac

# ---- Tools -------------------------------------------------------------------

scripts/setup.sh build
scripts/setup.sh --packages imagemagick fonts-dejavu-core
# /usr/local/bin may hold other programs of the same names.
convert=/usr/bin/convert
montage=/usr/bin/montage
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRF_BUILD_TESTS=OFF -DRF_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target rimeflower rf-gallery
rimeflower=$build/bin/rimeflower
rfgallery=$build/bin/rf-gallery

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME"

# ---- The Basic presets -------------------------------------------------------
# Name, then the values that differ from the defaults. The geometric and
# floral presets keep a fixed layout (Emitter Type 2) or the contours (1), so
# that they work on a document without paths.

basic=resources/Rimeflower/Presets/Basic
presets=(
  "Clear glass|EffectKind=1|PatternKind=1|MaskKind=4|Diffuse=0x808080|SelfIllumination=70|Shinstrength=150|Shininess=100|LightMultiplay=40|Refraction=-150|Koefficient=100|BumpPercent=0|Aberration=5"
  "Frosted window|EffectKind=1|PatternKind=2|MaskKind=6|MinInterval=35|Diffuse=0x8C8C8C|SelfIllumination=25|Shinstrength=60|BumpPercent=40|Refraction=-120|Aberration=60"
  "Blue ice|EffectKind=1|PatternKind=3|MaskKind=3|Diffuse=0xA08778|SelfIllumination=30"
  "Amber glass|EffectKind=1|PatternKind=1|MaskKind=1|Diffuse=0x5096D2|SelfIllumination=40|Refraction=-100"
  "Ice on black|EffectKind=1|PatternKind=3|MaskKind=4|AlphaCut=1|Diffuse=0xFFE0C0|SelfIllumination=40"
  "Wireframe|EffectKind=1|PatternKind=2|MaskKind=4|RenderMode=3|Diffuse=0xFFFFFF"
  "Golden filigree|EffectKind=2|PatternKind=1|MaskKind=5|UseGlass=0|Diffuse=0x32A0D4|Speculare=0x80E0FF|Shininess=40|Shinstrength=200|SelfIllumination=10|BumpPercent=40"
  "Silver lace|EffectKind=2|PatternKind=2|MaskKind=3|UseGlass=0|Diffuse=0xE0E0E0|Shininess=40|Shinstrength=300|SelfIllumination=25"
  "Emerald frost|EffectKind=2|PatternKind=3|MaskKind=1|Diffuse=0x8CC850"
  "Ink drawing|EffectKind=2|PatternKind=1|RenderMode=2|UseGlass=0|Diffuse=0x202020"
  "Pencil sketch|EffectKind=2|PatternKind=2|RenderMode=1"
  "Frost on contours|EffectKind=2|PatternKind=1|Emitter Type=1|MinInterval=150|MaxIterations=2"
  "Snow curl|EffectKind=3|PatternKind=1|Lenght=32|MaxIterations=4|Width=120|Center Y=-35|UseGlass=0|Diffuse=0xF0F0F0|SelfIllumination=10"
  "Crystal rose|EffectKind=3|PatternKind=2|Lenght=30|MaxIterations=5|Center Y=-30|Diffuse=0xBE96FF"
  "Ice feather|EffectKind=3|PatternKind=3|Lenght=40|MaxTriangles=6|Width=150|Center Y=-20"
  "Copper wave|EffectKind=3|PatternKind=4|Lenght=40|MaxTriangles=6|Width=150|Center Y=-20|UseGlass=0|Diffuse=0x3C6EC8|Speculare=0x90C0FF|Shinstrength=200"
)

if [ "$write_presets" = 1 ]; then
  # `presets save` starts from the last-used values, which the fresh
  # configuration folder leaves at the defaults; it writes into the User
  # library of a scratch plug-in folder, from where the files are moved.
  scratch=$work/plugin
  mkdir -p "$scratch/Rimeflower/Presets/User" "$scratch/Rimeflower/Presets/Basic"
  rm -f "$basic"/*.rmfpst "$basic/.keep"
  for entry in "${presets[@]}"; do
    IFS='|' read -r -a fields <<<"$entry"
    args=()
    for value in "${fields[@]:1}"; do args+=(--set "$value"); done
    "$rimeflower" presets save "${fields[0]}" --plugin-dir "$scratch" "${args[@]}" >/dev/null
    mv "$scratch/Rimeflower/Presets/User/${fields[0]}.rmfpst" "$basic/"
  done
  echo "wrote ${#presets[@]} presets to $basic"
fi

# ---- Rendering ---------------------------------------------------------------

out=docs/gallery
mkdir -p "$out"
rm -f "$out"/*.jpg
"$rfgallery" sample --size 960x720 -o "$work/sample.png"
"$rfgallery" photo --size 960x720 -o "$work/photo.png"

# The path emitter's drawing: a heart, in the pixels of the 960 x 720 input.
cat >"$out/heart.svg" <<'EOF'
<svg xmlns="http://www.w3.org/2000/svg" width="960" height="720" viewBox="0 0 960 720">
  <path d="M 480 640 C 300 520 120 420 150 260 C 175 130 360 110 480 250 C 600 110 785 130 810 260 C 840 420 660 520 480 640 Z"/>
</svg>
EOF

tiles=()    # montage arguments: -label CAPTION FILE ...
readme=()   # README table rows

# shrink FULL NAME CAPTION SHOWS COMMAND; an empty caption keeps the
# picture off the contact sheet.
shrink() {
  "$convert" "$1" -resize 480x360 -strip -quality 86 "$out/$2.jpg"
  if [ -n "$3" ]; then tiles+=(-label "$3" "$out/$2.jpg"); fi
  readme+=("| [$2.jpg]($2.jpg) | $4 | \`$5\` |")
}

# render NAME CAPTION SHOWS INPUT ARGS... (input: sample or photo)
render() {
  local name=$1 caption=$2 shows=$3 input=$4
  shift 4
  if ! "$rimeflower" apply "$work/$input.png" -o "$work/$name.png" --defaults --forget --quiet "$@" 2>"$work/log"; then
    cat "$work/log" >&2
    exit 1
  fi
  local shown=""
  for a in "$@"; do
    a=${a#"$root"/}
    case "$a" in
      *" "*) shown="$shown \"$a\"" ;;
      *) shown="$shown $a" ;;
    esac
  done
  shrink "$work/$name.png" "$name" "$caption" "$shows" \
    "rimeflower apply $input.png -o $name.png --defaults --forget$shown"
}

echo "rendering the gallery"
kinds=("Geometric 1" "Geometric 2" "Geometric 3" "Floral 1" "Floral 2" "Floral 3" "Single 1" "Single 2" "Single 3" "Single 4")
for i in "${!kinds[@]}"; do
  if [ "$i" -lt 3 ]; then effect=1 pattern=$((i + 1)); elif [ "$i" -lt 6 ]; then effect=2 pattern=$((i - 2)); else effect=3 pattern=$((i - 5)); fi
  slug=$(echo "${kinds[$i]}" | tr 'A-Z ' 'a-z-')
  if [ "$effect$pattern" = 23 ]; then
    # The default kind: exactly what `rimeflower demo` shows.
    "$rimeflower" demo --size 960x720 -o "$work/demo.png" >/dev/null
    shrink "$work/demo.png" "kind-$slug" "${kinds[$i]} (defaults, demo)" \
      "the defaults (\"Floral 3\", fixed layout \"U-like\", Phong, glass) on the built-in landscape" \
      "rimeflower demo --size 960x720 -o kind-$slug.png"
    continue
  fi
  render "kind-$slug" "${kinds[$i]}" "pattern \"${kinds[$i]}\" at the defaults" sample \
    --set EffectKind=$effect --set PatternKind=$pattern
done

modes=("Rough" "Line" "Wire" "Flat" "Phong")
for m in 1 2 3 4 5; do
  render "mode-$m-$(echo "${modes[$((m - 1))]}" | tr 'A-Z' 'a-z')" "Mode: ${modes[$((m - 1))]}" \
    "render mode \"${modes[$((m - 1))]}\", otherwise the defaults" sample --set RenderMode=$m
done

render glass-on "Glass on" "glass (the default): the picture refracted through the ice" photo --set UseGlass=1
render glass-off "Glass off" "the same without glass: an opaque, lit material" photo --set UseGlass=0

render emitter-fixed "Emitter: fixed layout" "fixed layout (\"U-like\"), the default emitter" photo \
  --set "Emitter Type=2"
render emitter-contours "Emitter: contours" "the contours of the picture's brightness bands (no selection)" photo \
  --set "Emitter Type=1"
render emitter-path "Emitter: path" "a vector path, the heart drawn in heart.svg" photo \
  --set "Emitter Type=0" --path "$root/$out/heart.svg"

for entry in "${presets[@]}"; do
  name=${entry%%|*}
  file=$basic/$name.rmfpst
  [ -f "$file" ] || { echo "make-gallery: missing preset '$file' (run with --write-presets)" >&2; exit 1; }
  slug=preset-$(echo "$name" | tr 'A-Z ' 'a-z-')
  values=${entry#*|}
  values=${values//|/, }
  render "$slug" "Preset: $name" "Basic preset \"$name\" ($values)" photo --preset "$root/$file"
  render "$slug-landscape" "" "Basic preset \"$name\" on the landscape" sample --preset "$root/$file"
done
for file in "$basic"/*.rmfpst; do
  name=$(basename "$file" .rmfpst)
  printf '%s\n' "${presets[@]}" | grep -q "^$name|" || echo "make-gallery: '$file' is not in the table" >&2
done

# ---- Contact sheet and README ------------------------------------------------

"$montage" -font "$font" -pointsize 14 -background '#1f232b' -fill '#e6eaf0' \
  -title "Rimeflower" -tile 6x -geometry 240x180+6+6 "${tiles[@]}" \
  -strip -quality 86 "$out/contact-sheet.jpg"

{
  echo "# Gallery"
  echo
  echo "![Contact sheet](contact-sheet.jpg)"
  echo
  echo "Every picture is rendered by \`rimeflower\` and regenerated by"
  echo "\`scripts/make-gallery.sh\`, which writes this file. The inputs are 960 x 720"
  echo "pictures that the build draws itself: \`sample.png\` is the landscape of"
  echo "\`rimeflower demo\` (\`rf-gallery sample --size 960x720 -o sample.png\`) and"
  echo "\`photo.png\` a still life of glass ornaments (\`rf-gallery photo --size 960x720"
  echo "-o photo.png\`). The renders are halved to 480 x 360. \`--defaults\` starts"
  echo "from the default values, so only the values named differ; \`--forget\` leaves"
  echo "the last-used values alone."
  echo
  echo "| Picture | Shows | Command |"
  echo "|---|---|---|"
  printf '%s\n' "${readme[@]}"
} >"$out/README.md"

du -sh "$out" | sed 's/^/gallery: /'
