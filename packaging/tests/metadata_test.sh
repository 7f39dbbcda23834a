#!/usr/bin/env bash
# The desktop metadata as Debian's tools read it, and one version everywhere:
# the menu entry passes desktop-file-validate, the AppStream metadata
# appstreamcli validate, both name the application by its id, the newest
# changelog entry and AppStream release are the project's version, and every
# screenshot the metadata names is in docs/.
# usage: metadata_test.sh SOURCE_DIR DESKTOP_FILE METAINFO VERSION APP_ID
set -u
source=$1
desktop=$2
metainfo=$3
version=$4
app=$5

. "$(dirname "$0")/../../testsupport/checks.sh"

for tool in desktop-file-validate appstreamcli; do
  command -v $tool >/dev/null || { echo "FAILED: $tool is missing (scripts/install-deps.sh)"; exit 1; }
done

out=$(desktop-file-validate "$desktop" 2>&1)
check "desktop-file-validate passes without a message" [ $? -eq 0 ] && [ -z "$out" ]
echo "$out"
out=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1)
status=$?
echo "$out"
check "appstreamcli validate passes" [ $status -eq 0 ]
check "with no error or warning" bash -c "! grep -Eq '^[EW]: ' <<<\"\$1\"" _ "$out"

check "the menu entry is named after the id" [ "$(basename "$desktop")" = "$app.desktop" ]
check "its icon is the id" grep -qx "Icon=$app" "$desktop"
check "it starts QTR90xControler" grep -qx "Exec=QTR90xControler" "$desktop"
check "the metadata's id is the id" grep -q "<id>$app</id>" "$metainfo"
check "it launches the menu entry" \
  grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" "$metainfo"

newest=$(sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p' "$source/packaging/debian/changelog")
check "the newest changelog entry ($newest) is version $version" \
  bash -c "[ '${newest%-*}' = '$version' ]"
release=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)
check "the newest AppStream release ($release) is version $version" [ "$release" = "$version" ]

missing=
for shot in $(grep -o '<image>[^<]*</image>' "$metainfo" | sed 's|.*/\([^/<]*\)</image>|\1|'); do
  [ -f "$source/docs/$shot" ] || missing+=" $shot"
done
check "every screenshot named is in docs/${missing:+ (missing:$missing)}" [ -z "$missing" ]

checks_summary
