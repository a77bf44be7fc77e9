#!/usr/bin/env bash
# form_test.sh CHROMIUM PAGE PROGRAM_DIR
# A three-slit setup built through the setup form's controls, as a user
# would (a plane added, its openings added and filled, the light, source,
# screen and quantity chosen), gives the data text pattern writes from the
# same setup's file; a bad value typed in it is refused by the engine's line,
# marked on the form's fields; a screen read from a file is left to the text.
set -euo pipefail
chromium=$1 page=$2 programs=$3
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && "$programs/pattern" --quiet --setup="$here/setups/three_slits.txt")
node "$here/chromium.js" "$chromium" "file://$page?program=pattern&format=text" '(async () => {
  const set = (id, value) => {
    const control = document.getElementById(`setup-${id}`);
    control.value = value;
    control.dispatchEvent(new Event(control.tagName === "SELECT" ? "change" : "input"));
  };
  const click = (id) => document.getElementById(`setup-${id}`).click();
  set("light", "line");
  set("wavelength", "0.000532");
  set("source", "plane_wave");
  click("add-plane");
  set("plane-1-distance", "100");
  click("plane-1-add-slits");  // a grating tried, then removed
  click("plane-1-opening-1-remove");
  for (const [k, from, to] of [[1, "-0.45", "-0.35"], [2, "-0.05", "0.05"], [3, "0.35", "0.45"]]) {
    click("plane-1-add-opening");
    set(`plane-1-opening-${k}-from`, from);
    set(`plane-1-opening-${k}-to`, to);
    set(`plane-1-opening-${k}-samples`, "40");
  }
  click("add-plane");  // a second plane, removed again
  click("plane-2-remove");
  for (const [id, v] of [["distance", "500"], ["from", "-3"], ["to", "3"], ["count", "301"]])
    set(`screen-${id}`, v);
  set("quantity", "intensity");
  document.body.dataset.state = "waiting";
  update();
  while (!["done", "refused", "error"].includes(document.body.dataset.state))
    await new Promise((r) => setTimeout(r, 20));
  const data = document.getElementById("data").textContent;
  // A bad value typed in the form: the engine refuses its line, marked in the form too.
  document.body.dataset.state = "waiting";
  set("plane-1-opening-2-to", "-0.1");
  update();
  while (document.body.dataset.state !== "refused") await new Promise((r) => setTimeout(r, 20));
  const marked = [...document.querySelectorAll("#setup-form [aria-invalid=true]")].map((e) => e.id);
  const refusal = `${document.getElementById("refusal").textContent} ${marked.join(" ")}`;
  const text = document.getElementById("field-setup");
  text.value = "plane 10\nopening 0 1 5\nscreen 100 file positions.txt\n";
  text.dispatchEvent(new Event("input"));
  const note = document.getElementById("setup-form-note");
  return data + `---\n${refusal}\n${document.getElementById("setup-form").hidden} ${!note.hidden} ${note.textContent}`;
})()' > "$scratch/page"
note="pattern: error: setup:5: opening: TO -0.1 is not above FROM -0.05 setup-plane-1-opening-2-from setup-plane-1-opening-2-to setup-plane-1-opening-2-samples
true true The form cannot show this setup (line 3: 'screen 100 file positions.txt'): edit its text below."
[ "$(sed -n '/^---$/,$p' "$scratch/page" | tail -n +2)" = "$note" ] ||
  { echo "the form's note:"; sed -n '/^---$/,$p' "$scratch/page"; exit 1; }
sed '/^---$/,$d' "$scratch/page" | cmp "$scratch/pattern.txt" - && exit 0
sed '/^---$/,$d' "$scratch/page" | diff "$scratch/pattern.txt" - | head; exit 1
