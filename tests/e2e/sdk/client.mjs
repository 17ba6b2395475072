// Drives zarnel with the official MCP TypeScript SDK client over stdio. The SDK validates every
// response against the protocol's schemas, so any answer it rejects fails a check here.
// Usage: node client.mjs <path to zarnel>
import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";
import { McpError } from "@modelcontextprotocol/sdk/types.js";
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";

const zarnel = process.argv[2];

// A fresh HOME whose settings start the server at launch, as a user would configure it.
const home = fs.mkdtempSync(path.join(os.tmpdir(), "zarnel-sdk-"));
fs.mkdirSync(path.join(home, "config", "tarvonic"), { recursive: true });
fs.writeFileSync(path.join(home, "config", "tarvonic", "zarnel.conf"), "[General]\nautoStartServer=true\n");
const env = {
  PATH: process.env.PATH ?? "/usr/bin:/bin",
  HOME: home,
  XDG_CONFIG_HOME: path.join(home, "config"),
  XDG_DATA_HOME: path.join(home, "data"),
  XDG_CACHE_HOME: path.join(home, "cache"),
  XDG_STATE_HOME: path.join(home, "state"),
};

const transport = new StdioClientTransport({ command: zarnel, args: [], env, stderr: "pipe" });
const client = new Client({ name: "zarnel-sdk-test", version: "1.0.0" });

// The "sleep 60" processes descending from the given process.
function sleepersOf(ancestor) {
  const processes = new Map();
  for (const entry of fs.readdirSync("/proc").filter((name) => /^\d+$/.test(name))) {
    try {
      const stat = fs.readFileSync(`/proc/${entry}/stat`, "utf8");
      const command = fs.readFileSync(`/proc/${entry}/cmdline`, "utf8").replaceAll("\0", " ").trim();
      processes.set(Number(entry), { parent: Number(stat.slice(stat.lastIndexOf(")") + 2).split(" ")[1]), command });
    } catch {} // gone already
  }
  const descends = (pid) => pid === ancestor || (pid > 1 && processes.has(pid) && descends(processes.get(pid).parent));
  return [...processes].filter(([pid, { command }]) => command === "sleep 60" && descends(pid)).map(([pid]) => pid);
}

// What the promise gives within five seconds, else "timed out".
const within = (promise) => Promise.race([promise, new Promise((resolve) => setTimeout(() => resolve("timed out"), 5000))]);

let passed = 0;
let failed = 0;
async function check(name, body) {
  try {
    await body();
    passed += 1;
    console.log(`ok - ${name}`);
  } catch (error) {
    failed += 1;
    console.log(`not ok - ${name}: ${error?.stack ?? error}`);
  }
}

await check("connects and initializes", async () => {
  await client.connect(transport);
  assert.deepEqual(client.getServerVersion(), { name: "Zarnel", version: "1.0.1" });
  const capabilities = client.getServerCapabilities();
  assert.equal(capabilities.tools.listChanged, true);
  assert.equal(capabilities.resources.subscribe, true);
});

await check("answers ping and lists tools sorted by name", async () => {
  assert.deepEqual(await client.ping(), {});
  const { tools } = await client.listTools();
  const names = tools.map((tool) => tool.name);
  assert.equal(names.length, 18);
  assert.deepEqual(names, [...names].sort());
  for (const tool of tools) assert.equal(tool.inputSchema.type, "object");
});

await check("answers an unknown tool with an error result", async () => {
  const result = await client.callTool({ name: "no_such_tool", arguments: {} });
  assert.equal(result.isError, true);
  assert.deepEqual(result.content, [{ type: "text", text: "Tool 'no_such_tool' not found" }]);
});

await check("lists and reads resources, lists and renders prompts", async () => {
  assert.equal((await client.listResources()).resources.length, 5);
  assert.equal((await client.listPrompts()).prompts.length, 6);
  const { contents } = await client.readResource({ uri: "zarnel://tools" });
  assert.equal(contents[0].uri, "zarnel://tools");
  assert.equal(JSON.parse(contents[0].text).total_tools, 18);
  const { messages } = await client.getPrompt({ name: "backup_strategy", arguments: { data_type: "code" } });
  assert.equal(messages[0].role, "user");
  assert.match(messages[0].content.text, /^Backup Strategy for code\n/);
  const { resourceTemplates } = await client.listResourceTemplates();
  assert.equal(resourceTemplates[0].uriTemplate, "file:///{path}");
});

await check("subscribes to the activity log and receives an update", async () => {
  const { ResourceUpdatedNotificationSchema } = await import("@modelcontextprotocol/sdk/types.js");
  const updated = new Promise((resolve) => {
    client.setNotificationHandler(ResourceUpdatedNotificationSchema, (notification) => resolve(notification.params.uri));
  });
  await client.subscribeResource({ uri: "zarnel://activity-log" });
  await client.ping();
  assert.equal(await within(updated), "zarnel://activity-log");
  await client.unsubscribeResource({ uri: "zarnel://activity-log" });
});

await check("cancels a call through its own timeout and keeps serving", async () => {
  const started = Date.now();
  const call = client.callTool({ name: "execute_command", arguments: { command: "sleep 60" } }, undefined, { timeout: 1000 });
  await assert.rejects(call, McpError);
  assert.deepEqual(await client.ping(), {});
  assert.ok(Date.now() - started < 10000);
  // The command's process group is gone once the cancellation has been handled.
  const deadline = Date.now() + 5000;
  while (sleepersOf(transport.pid).length > 0 && Date.now() < deadline) await new Promise((r) => setTimeout(r, 100));
  assert.deepEqual(sleepersOf(transport.pid), []);
});

await client.close().catch(() => {});
fs.rmSync(home, { recursive: true, force: true });
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
