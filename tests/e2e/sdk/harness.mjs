// What the SDK client tests share: a fresh HOME whose settings start the server at launch (as a
// user would configure it), and the numbered checks with their summary.
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
