// The runs of the page authors' reference. A page snippet is a ```js or ```html block; each
// of its runs follows it as a line "`./run page <file> [options]` prints:" (in the page
// host) or "`./run browser-page <file> [options]` prints:" (in Chromium) and a ```text
// block with the output.
//
//   node reference_runs.mjs <markdown file> <folder>
// writes each `./run page` run into <folder>/run-<n>/ for tests/pages/page_snippets_test.sh:
// the snippet under the run's file name, "file", "options" and "expected"; and a file
// <folder>/orphan-<line> for each snippet without any run.
import fs from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";

// { runs: [{ kind, file, options, snippet, expected lines }], orphans: [snippet lines] }
export function ReferenceRuns(text) {
  const runs = [];
  const orphans = [];
  const lines = text.split("\n");
  let snippet = null, snippetLine = 0, snippetRuns = 0, command = null;
  const endSnippet = () => { if (snippet !== null && snippetRuns === 0) orphans.push(snippetLine); };
  for (let i = 0; i < lines.length; i++) {
    const run = /^`\.\/run (page|browser-page) ([^`]*)` prints:$/.exec(lines[i]);
    if (run) {
      command = { kind: run[1], words: run[2].split(" ") };
    } else if (/^```(js|html|text)$/.test(lines[i])) {
      const end = lines.indexOf("```", i + 1);
      const body = lines.slice(i + 1, end);
      if (lines[i] !== "```text") {
        endSnippet();
        [snippet, snippetLine, snippetRuns] = [body.map((line) => line + "\n").join(""), i + 1, 0];
      } else if (command) {
        const [file, ...options] = command.words;
        runs.push({ kind: command.kind, file, options, snippet, expected: body });
        snippetRuns++;
        command = null;
      }
      i = end;
    }
  }
  endSnippet();
  return { runs, orphans };
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const [text, folder] = process.argv.slice(2);
  const { runs, orphans } = ReferenceRuns(fs.readFileSync(text, "utf8"));
  runs.filter((run) => run.kind === "page").forEach((run, n) => {
    const dir = path.join(folder, `run-${n + 1}`);
    fs.mkdirSync(dir);
    fs.writeFileSync(path.join(dir, run.file), run.snippet);
    fs.writeFileSync(path.join(dir, "file"), run.file + "\n");
    fs.writeFileSync(path.join(dir, "options"), run.options.join(" ") + "\n");
    fs.writeFileSync(path.join(dir, "expected"), run.expected.map((line) => line + "\n").join(""));
  });
  for (const line of orphans) fs.writeFileSync(path.join(folder, `orphan-${line}`), "");
}
