// Drives zarnel with the official MCP TypeScript SDK client over stdio, in a session of the given
// legacy revision. The SDK validates every response against the protocol's schemas (structured
// results against the tools' output schemas included), so any answer it rejects fails a check.
// Usage: node client.mjs <path to zarnel> <path to the test server> <revision>
import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";
import { McpError } from "@modelcontextprotocol/sdk/types.js";
import assert from "node:assert/strict";
import fs from "node:fs";
import { check, checkWholeNumberArguments, fileIn, finish, temporaryHome, within } from "./harness.mjs";

const zarnel = process.argv[2];
const testServer = process.argv[3];
const revision = process.argv[4] ?? "2025-11-25";
const from = (version) => revision >= version;
console.log(`# protocol revision ${revision}`);

// The SDK always asks for its newest revision; this transport asks for the one under test and
// keeps the version the server answered with.
class RevisionTransport extends StdioClientTransport {
  negotiated = undefined;
  async send(message, options) {
    if (message.method === "initialize") message = { ...message, params: { ...message.params, protocolVersion: revision } };
    return super.send(message, options);
  }
  setProtocolVersion(version) {
    this.negotiated = version;
  }
}

const { home, env, remove } = temporaryHome("zarnel-sdk-");

const transport = new RevisionTransport({ command: zarnel, args: [], env, stderr: "pipe" });
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

await check("connects and negotiates the revision asked for", async () => {
  await client.connect(transport);
  assert.equal(transport.negotiated, revision);
  assert.deepEqual(client.getServerVersion(), { name: "Zarnel", version: "1.0.1" });
  const capabilities = client.getServerCapabilities();
  assert.equal(capabilities.tools.listChanged, true);
  assert.equal(capabilities.resources.subscribe, true);
  assert.equal("completions" in capabilities, from("2025-03-26"));
});

await check("answers ping and lists tools sorted by name with the revision's fields", async () => {
  assert.deepEqual(await client.ping(), {});
  const { tools } = await client.listTools();
  const names = tools.map((tool) => tool.name);
  assert.equal(names.length, 18);
  assert.deepEqual(names, [...names].sort());
  for (const tool of tools) assert.equal(tool.inputSchema.type, "object");
  const byName = Object.fromEntries(tools.map((tool) => [tool.name, tool]));
  if (from("2025-03-26")) {
    assert.equal(byName.delete_file.annotations.destructiveHint, true);
    assert.equal(byName.read_file.annotations.readOnlyHint, true);
    assert.equal(byName.execute_command.annotations.openWorldHint, true);
  } else {
    assert.equal(byName.delete_file.annotations, undefined);
  }
  assert.equal(byName.move_file.title, from("2025-06-18") ? "Move File" : undefined);
  assert.equal(byName.get_system_info.outputSchema?.type, from("2025-06-18") ? "object" : undefined);
});

await check("takes whole numbers for integer arguments, listed as integers from 2025-03-26 on", async () => {
  await checkWholeNumberArguments(client, home, from("2025-03-26"));
});

await check("answers a ping sent while a command runs before the command's result", async () => {
  const order = [];
  const call = client.callTool({ name: "execute_command", arguments: { command: "sleep 3; echo done" } }).then(() => order.push("call"));
  await new Promise((resolve) => setTimeout(resolve, 500));
  const sent = Date.now();
  assert.deepEqual(await client.ping(), {});
  order.push("ping");
  console.log(`# the ping was answered in ${Date.now() - sent} ms while the command ran`);
  await call;
  assert.deepEqual(order, ["ping", "call"]);
});

await check("answers an unknown tool as the revision says", async () => {
  if (from("2025-03-26")) {
    await assert.rejects(client.callTool({ name: "no_such_tool", arguments: {} }), (error) => error.code === -32602);
    return;
  }
  const result = await client.callTool({ name: "no_such_tool", arguments: {} });
  assert.equal(result.isError, true);
  assert.deepEqual(result.content, [{ type: "text", text: "Tool 'no_such_tool' not found" }]);
});

await check("returns structured results the output schema accepts", async () => {
  // callTool checks structuredContent against the outputSchema listed above.
  const result = await client.callTool({ name: "get_system_info", arguments: {} });
  assert.match(result.content[0].text, /^System Information:/);
  if (from("2025-06-18")) assert.equal(typeof result.structuredContent.processorCount, "number");
  else assert.equal(result.structuredContent, undefined);
});

await check("reports a missing resource with the revision's code", async () => {
  const expected = from("2025-03-26") ? -32002 : -32001;
  await assert.rejects(client.readResource({ uri: "zarnel://nothing" }), (error) => {
    assert.equal(error.code, expected);
    if (from("2025-03-26")) assert.equal(error.data.uri, "zarnel://nothing");
    return true;
  });
});

await check("completes paths and listed values where the revision has completions", async () => {
  if (!from("2025-03-26")) return;
  const paths = await client.complete({ ref: { type: "ref/prompt", name: "analyze_file" }, argument: { name: "file_path", value: `${home}/con` } });
  assert.deepEqual(paths.completion.values, [`${home}/config/`]);
  const levels = await client.complete({ ref: { type: "ref/prompt", name: "security_audit" }, argument: { name: "severity", value: "" } });
  assert.deepEqual(levels.completion.values, ["low", "medium", "high", "critical"]);
});

await check("reports the progress of a slow command", async () => {
  const seen = [];
  const result = await client.callTool({ name: "execute_command", arguments: { command: "sleep 2; echo done" } }, undefined, {
    onprogress: (progress) => seen.push(progress),
  });
  assert.match(result.content[0].text, /done/);
  assert.ok(seen.length >= 1, "no progress arrived");
  for (let i = 1; i < seen.length; i += 1) assert.ok(seen[i].progress > seen[i - 1].progress);
});

await check("asks its user through the client where the revision allows it", async () => {
  const { ElicitRequestSchema } = await import("@modelcontextprotocol/sdk/types.js");
  const asking = new Client({ name: "zarnel-sdk-test", version: "1.0.0" }, { capabilities: { elicitation: {} } });
  const questions = [];
  asking.setRequestHandler(ElicitRequestSchema, (request) => {
    questions.push(request.params.message);
    return { action: "accept", content: { confirm: true } };
  });
  const askingTransport = new RevisionTransport({ command: testServer, args: [], env, stderr: "pipe" });
  await asking.connect(askingTransport);
  const result = await asking.callTool({ name: "ask_user", arguments: { question: "Proceed?" } });
  const asks = revision === "2025-06-18" || revision === "2025-11-25";
  assert.equal(result.content[0].text, asks ? "confirmed" : "unavailable");
  assert.deepEqual(questions, asks ? ["Proceed?"] : []);
  await asking.close();
});

await check("asks before a destructive call, and runs only what its user allows", async () => {
  const { ElicitRequestSchema } = await import("@modelcontextprotocol/sdk/types.js");
  const guarded = temporaryHome("zarnel-sdk-confirm-", ["requireConfirmation=true"]);
  const asking = new Client({ name: "zarnel-sdk-test", version: "1.0.0" }, { capabilities: { elicitation: {} } });
  const questions = [];
  const answers = [{ action: "decline" }, { action: "accept", content: { confirm: true } }];
  asking.setRequestHandler(ElicitRequestSchema, (request) => {
    questions.push(request.params.message);
    return answers.shift();
  });
  await asking.connect(new RevisionTransport({ command: zarnel, args: [], env: guarded.env, stderr: "pipe" }));
  try {
    const file = fileIn(guarded.home, "notes.txt");
    const text = async (name, args) => (await asking.callTool({ name, arguments: args })).content[0].text;
    // Read-only tools never ask.
    assert.equal(await text("read_file", { path: file }), "keep me");
    assert.deepEqual(questions, []);
    const declined = await asking.callTool({ name: "delete_file", arguments: { path: file } });
    assert.equal(declined.isError, true);
    if (revision === "2025-06-18" || revision === "2025-11-25") {
      assert.equal(declined.content[0].text, "Not approved: delete_file was declined");
      assert.ok(fs.existsSync(file));
      assert.doesNotMatch(await text("delete_file", { path: file }), /Not approved/);
      assert.ok(!fs.existsSync(file));
      assert.deepEqual(questions, [`Allow delete_file to delete ${file}?`, `Allow delete_file to delete ${file}?`]);
    } else {
      // The revision cannot ask, and nothing else can: no display in this environment.
      assert.equal(declined.content[0].text,
        "Not approved: delete_file needs confirmation, and there is no display and the client cannot ask its user");
      assert.ok(fs.existsSync(file));
      assert.deepEqual(questions, []);
    }
  } finally {
    await asking.close();
    guarded.remove();
  }
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
remove();
finish();
