// Drives zarnel with the official 2.x MCP client in the stateless 2026-07-28 era: discovery, tools,
// a resource read, a prompt, a subscription update, progress, a completion and a question to the
// user answered through an "input required" result and its retry. The client validates every
// answer (resultType, cache hints, structured results against output schemas) before the checks.
// Usage: node client2026.mjs <path to zarnel> <path to the test server>
import { Client } from "@modelcontextprotocol/client";
import { StdioClientTransport } from "@modelcontextprotocol/client/stdio";
import assert from "node:assert/strict";
import fs from "node:fs";
import { check, checkWholeNumberArguments, fileIn, finish, temporaryHome, within } from "./harness.mjs";
import { execFileSync } from "node:child_process";

const [zarnel, testServer] = process.argv.slice(2);

const { home, env, remove } = temporaryHome("zarnel-sdk2-");
// A runtime folder of its own, so that `zarnel connections` counts this test's processes only.
env.XDG_RUNTIME_DIR = `${home}/runtime`;
fs.mkdirSync(env.XDG_RUNTIME_DIR, { mode: 0o700 });

function modernClient(capabilities = {}) {
  return new Client({ name: "zarnel-sdk2-test", version: "2.0.0" }, { capabilities, versionNegotiation: { mode: { pin: "2026-07-28" } } });
}

const client = modernClient();
const transport = new StdioClientTransport({ command: zarnel, args: [], env, stderr: "pipe" });

await check("discovers a 2026-07-28 server", async () => {
  await client.connect(transport);
  assert.equal(client.getNegotiatedProtocolVersion(), "2026-07-28");
  const discovered = client.getDiscoverResult();
  assert.deepEqual(discovered.supportedVersions, ["2026-07-28"]);
  assert.equal(discovered.capabilities.resources.subscribe, true);
  assert.ok("completions" in discovered.capabilities);
  assert.equal(client.getServerVersion().name, "Zarnel");
});

await check("lists tools with titles and annotations, and calls one with a structured result", async () => {
  const { tools } = await client.listTools();
  assert.equal(tools.length, 18);
  const byName = Object.fromEntries(tools.map((tool) => [tool.name, tool]));
  assert.equal(byName.delete_file.title, "Delete File");
  assert.equal(byName.delete_file.annotations.destructiveHint, true);
  assert.equal(byName.list_directory.annotations.readOnlyHint, true);
  const result = await client.callTool({ name: "get_system_info", arguments: {} });
  assert.match(result.content[0].text, /^System Information:/);
  assert.equal(typeof result.structuredContent.hostName, "string");
});

await check("takes whole numbers for integer arguments, listed as integers", async () => {
  await checkWholeNumberArguments(client, home, true);
});

await check("counts the client as a connection and names it in the log", async () => {
  const zarnelSays = (...args) => execFileSync(zarnel, args, { env, encoding: "utf8" });
  assert.equal(zarnelSays("connections").trim(), "1 active connection");
  const { contents } = await client.readResource({ uri: "zarnel://server-status" });
  assert.equal(JSON.parse(contents[0].text).connection_count, 1);
  const log = zarnelSays("log");
  assert.match(log, /zarnel-sdk2-test \(\d+\): Connected: zarnel-sdk2-test v2\.0\.0/);
  assert.doesNotMatch(log, /no client yet/);
});

await check("reads a resource and reports a missing one", async () => {
  const { contents } = await client.readResource({ uri: "zarnel://tools" });
  assert.equal(JSON.parse(contents[0].text).total_tools, 18);
  await assert.rejects(client.readResource({ uri: "zarnel://nothing" }), (error) => error.code === -32602 && error.data?.uri === "zarnel://nothing");
});

await check("renders a prompt", async () => {
  const { prompts } = await client.listPrompts();
  assert.equal(prompts.find((prompt) => prompt.name === "backup_strategy").title, "Backup Strategy");
  const { messages } = await client.getPrompt({ name: "backup_strategy", arguments: { data_type: "code" } });
  assert.match(messages[0].content.text, /^Backup Strategy for code\n/);
});

await check("completes a path and a listed value", async () => {
  const paths = await client.complete({ ref: { type: "ref/resource", uri: "file:///{path}" }, argument: { name: "path", value: `${home.slice(1)}/con` } });
  assert.deepEqual(paths.completion.values, [`${home.slice(1)}/config/`]);
  const kinds = await client.complete({ ref: { type: "ref/prompt", name: "backup_strategy" }, argument: { name: "data_type", value: "m" } });
  assert.deepEqual(kinds.completion.values, ["media"]);
});

await check("sends resource updates on a listen stream", async () => {
  const updated = new Promise((resolve) => {
    client.setNotificationHandler("notifications/resources/updated", (notification) => resolve(notification.params.uri));
  });
  const subscription = await client.listen({ resourceSubscriptions: ["zarnel://activity-log"] });
  assert.deepEqual(subscription.honoredFilter.resourceSubscriptions, ["zarnel://activity-log"]);
  await client.getPrompt({ name: "backup_strategy", arguments: { data_type: "code" } }); // writes to the activity log
  assert.equal(await within(updated), "zarnel://activity-log");
  await subscription.close();
});

await check("reports the progress of a slow command", async () => {
  const seen = [];
  const result = await client.callTool({ name: "execute_command", arguments: { command: "sleep 2; echo done" } }, {
    onprogress: (progress) => seen.push(progress.progress),
  });
  assert.match(result.content[0].text, /done/);
  assert.ok(seen.length >= 1, "no progress arrived");
});

await client.close().catch(() => {});

await check("asks its user through an input-required result and the retry", async () => {
  const asking = modernClient({ elicitation: { form: {} } });
  const questions = [];
  asking.setRequestHandler("elicitation/create", (request) => {
    questions.push(request.params.message);
    return { action: "accept", content: { confirm: true } };
  });
  await asking.connect(new StdioClientTransport({ command: testServer, args: [], env, stderr: "pipe" }));
  const result = await asking.callTool({ name: "ask_user", arguments: { question: "Proceed?" } });
  assert.equal(result.content[0].text, "confirmed");
  assert.deepEqual(questions, ["Proceed?"]);
  await asking.close();
});

await check("asks before a destructive call through an input-required result, and runs only what its user allows", async () => {
  const guarded = temporaryHome("zarnel-sdk2-confirm-", ["requireConfirmation=true"]);
  const asking = modernClient({ elicitation: { form: {} } });
  const questions = [];
  const answers = [{ action: "decline" }, { action: "accept", content: { confirm: true } }];
  asking.setRequestHandler("elicitation/create", (request) => {
    questions.push(request.params.message);
    return answers.shift();
  });
  await asking.connect(new StdioClientTransport({ command: zarnel, args: [], env: guarded.env, stderr: "pipe" }));
  try {
    const file = fileIn(guarded.home, "notes.txt");
    assert.equal((await asking.callTool({ name: "read_file", arguments: { path: file } })).content[0].text, "keep me");
    assert.deepEqual(questions, []);
    const declined = await asking.callTool({ name: "delete_file", arguments: { path: file } });
    assert.equal(declined.isError, true);
    assert.equal(declined.content[0].text, "Not approved: delete_file was declined");
    assert.ok(fs.existsSync(file));
    const allowed = await asking.callTool({ name: "delete_file", arguments: { path: file } });
    assert.notEqual(allowed.isError, true, JSON.stringify(allowed));
    assert.ok(!fs.existsSync(file));
    assert.deepEqual(questions, [`Allow delete_file to delete ${file}?`, `Allow delete_file to delete ${file}?`]);
  } finally {
    await asking.close();
    guarded.remove();
  }
});

remove();
finish();
