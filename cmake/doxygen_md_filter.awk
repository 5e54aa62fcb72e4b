# Doxygen input filter for the Markdown pages: gives each section heading
# the anchor a Git forge derives from its text (lower case, punctuation
# dropped, spaces to hyphens), so links such as (#command-line-tool) in the
# README resolve in the API reference too. Pages other than the README
# prefix their anchors with their own name, as labels are global there.
# Fenced code is left alone. Doxygen filters one file per run.
FNR == 1 {
  prefix = FILENAME
  sub(/^.*\//, "", prefix)
  sub(/\.md$/, "", prefix)
  prefix = (prefix == "README") ? "" : tolower(prefix) "-"
}
/^(```|~~~)/ { fenced = !fenced; print; next }
fenced { print; next }
/^##+ / && !/\{#[^}]*\}[ \t]*$/ {
  text = $0
  sub(/^#+ +/, "", text)
  slug = tolower(text)
  gsub(/[^a-z0-9 _-]/, "", slug)
  gsub(/ /, "-", slug)
  # A repeated heading gets -1, -2, ... as on the forge.
  n = seen[slug]++
  if (n) slug = slug "-" n
  print $0 " {#" prefix slug "}"
  next
}
{ gsub(/\]\(#/, "](#" prefix); print }
