// What the SDK client tests share: a fresh HOME whose settings start the server at launch (as a
// user would configure it), and the numbered checks with their summary.
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";

// `settings` adds lines to the settings file ("requireConfirmation=true").
export function temporaryHome(prefix, settings = []) {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  fs.mkdirSync(path.join(home, "config", "tarvonic"), { recursive: true });
  const lines = ["[General]", "autoStartServer=true", ...settings];
  fs.writeFileSync(path.join(home, "config", "tarvonic", "zarnel.conf"), lines.join("\n") + "\n");
  const env = {
    PATH: process.env.PATH ?? "/usr/bin:/bin",
    HOME: home,
    XDG_CONFIG_HOME: path.join(home, "config"),
    XDG_DATA_HOME: path.join(home, "data"),
    XDG_CACHE_HOME: path.join(home, "cache"),
    XDG_STATE_HOME: path.join(home, "state"),
  };
  return { home, env, remove: () => fs.rmSync(home, { recursive: true, force: true }) };
}

// A file of the given text in the home, with its path.
export function fileIn(home, name, text = "keep me") {
  const file = path.join(home, name);
  fs.writeFileSync(file, text);
  return file;
}

// A folder in the home holding the named empty files, for search_files.
export function folderWith(home, names) {
  const folder = fs.mkdtempSync(path.join(home, "found-"));
  for (const name of names) fs.writeFileSync(path.join(folder, name), "");
  return folder;
}

// Whole numbers as an assistant sends them: a command's time limit of one second and a search
// cut at two results, from a client whose listed schemas it also checks.
export async function checkWholeNumberArguments(client, home, integerSchemas) {
  const { tools } = await client.listTools();
  const byName = Object.fromEntries(tools.map((tool) => [tool.name, tool]));
  const expectedType = integerSchemas ? "integer" : "string";
  assert.equal(byName.execute_command.inputSchema.properties.timeout.type, expectedType);
  assert.equal(byName.search_files.inputSchema.properties.max_results.type, expectedType);
  assert.equal(byName.execute_command.inputSchema.properties.timeout.minimum, integerSchemas ? 1 : undefined);
  const timed = await client.callTool({ name: "execute_command", arguments: { command: "sleep 5", timeout: 1 } });
  assert.match(timed.content[0].text, /Timed out after 1 seconds/, JSON.stringify(timed));
  const folder = folderWith(home, ["a.txt", "b.txt", "c.txt"]);
  const found = await client.callTool({ name: "search_files", arguments: { pattern: "*.txt", directory: folder, max_results: 2 } });
  assert.notEqual(found.isError, true, JSON.stringify(found));
  const paths = found.content[0].text.split("\n").filter((line) => line.startsWith(folder));
  assert.equal(paths.length, 2, found.content[0].text);
}

// What the promise gives within five seconds, else "timed out".
export const within = (promise) => Promise.race([promise, new Promise((resolve) => setTimeout(() => resolve("timed out"), 5000))]);

let passed = 0;
let failed = 0;

export async function check(name, body) {
  try {
    await body();
    passed += 1;
    console.log(`ok - ${name}`);
  } catch (error) {
    failed += 1;
    console.log(`not ok - ${name}: ${error?.stack ?? error}`);
  }
}

// Prints the tally and ends the process with its verdict.
export function finish() {
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 ? 0 : 1);
}
