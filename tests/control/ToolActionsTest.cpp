#include "control/ToolActions.h"
#include "support/EchoTool.h"
#include "tools/ToolRegistry.h"

#include <gtest/gtest.h>

#include <QCoroTask>

using namespace ToolActions;

namespace {

MCPTool tool(const std::string& name, const std::string& description = "does things")
{
    MCPTool t;
    t.name = name;
    t.description = description;
    return t;
}

// The built-in tool names, sorted as the registry lists them.
std::vector<MCPTool> builtInNames()
{
    std::vector<MCPTool> tools;
    for (const char* name : {"capture_screenshot", "copy_file", "create_directory", "delete_file", "execute_applescript", "execute_command",
                             "get_clipboard", "get_system_info", "launch_app", "list_directory", "list_running_apps", "move_file",
                             "quit_app", "read_file", "search_files", "send_notification", "set_clipboard", "write_file"})
        tools.push_back(tool(name));
    return tools;
}

std::vector<std::string> names(const ActionResult& result)
{
    std::vector<std::string> list;
    for (const Json& entity : result.value)
        list.push_back(entity["name"]);
    return list;
}

TEST(ToolActions, ListsEachCategoryWithItsDialogName)
{
    const auto tools = builtInNames();
    const ActionResult all = listTools(tools, ToolCategory::All);
    EXPECT_EQ(all.dialog.toStdString(), "Found 18 tools in All category");

    const ActionResult system = listTools(tools, ToolCategory::System);
    EXPECT_EQ(system.dialog.toStdString(), "Found 6 tools in System category");
    EXPECT_EQ(names(system),
              (std::vector<std::string>{"capture_screenshot", "execute_command", "get_clipboard", "get_system_info", "send_notification",
                                        "set_clipboard"}));

    const ActionResult apps = listTools(tools, ToolCategory::AppControl);
    EXPECT_EQ(apps.dialog.toStdString(), "Found 4 tools in App Control category");
    EXPECT_EQ(names(apps), (std::vector<std::string>{"execute_applescript", "launch_app", "list_running_apps", "quit_app"}));

    const ActionResult files = listTools(tools, ToolCategory::FileSystem);
    EXPECT_EQ(files.dialog.toStdString(), "Found 8 tools in File System category");
    EXPECT_EQ(listTools({}, ToolCategory::FileSystem).dialog.toStdString(), "Found 0 tools in File System category");
}

TEST(ToolActions, EntityCategoryPrefersFilesThenApps)
{
    const std::pair<const char*, const char*> cases[] = {
        {"read_file", "File System"},  {"list_directory", "File System"},      {"file_app", "File System"},
        {"launch_app", "App Control"}, {"execute_applescript", "App Control"}, {"get_clipboard", "System"},
        {"something_else", "System"},
    };
    for (const auto& [name, category] : cases)
        EXPECT_EQ(entityCategory(name).toStdString(), category) << name;
    const ActionResult listed = listTools({tool("read_file", "Reads")}, ToolCategory::All);
    EXPECT_EQ(listed.value[0]["category"], "File System");
    EXPECT_EQ(listed.value[0]["description"], "Reads");
    EXPECT_EQ(categoryFromName("appControl"), ToolCategory::AppControl);
    EXPECT_FALSE(categoryFromName("apps"));
}

TEST(ToolActions, ToolInfoListsParametersSortedWithRequiredAndDescriptions)
{
    MCPTool described = tool("write_file", "Write a file.");
    described.inputSchema.properties = std::map<std::string, SchemaProperty>{
        {"path", SchemaProperty{"string", "Where", std::nullopt, std::nullopt}},
        {"content", SchemaProperty{"string", "What", std::nullopt, std::nullopt}},
        {"append", SchemaProperty{"boolean", std::nullopt, std::nullopt, std::nullopt}},
    };
    described.inputSchema.required = std::vector<std::string>{"path", "content"};
    const std::vector<MCPTool> tools{described, tool("bare", "No parameters.")};

    EXPECT_EQ(toolInfo(tools, "write_file").dialog.toStdString(),
              "Tool: write_file\n\nWrite a file.\n\nParameters:\n• append (boolean)\n"
              "• content (string) (required): What\n• path (string) (required): Where");
    EXPECT_EQ(toolInfo(tools, "bare").dialog.toStdString(), "Tool: bare\n\nNo parameters.");
    EXPECT_EQ(toolInfo(tools, "Bare").dialog.toStdString(), "Tool 'Bare' not found");
    EXPECT_TRUE(toolInfo(tools, "bare").value.is_null());
}

TEST(ToolActions, ListTheToolThatCannotWorkHereLast)
{
    std::vector<MCPTool> tools(4);
    tools[0].name = "copy_file";
    tools[1].name = "execute_applescript";
    tools[2].name = "execute_command";
    tools[3].name = "write_file";
    std::vector<std::string> names;
    for (const MCPTool& tool : inListingOrder(tools))
        names.push_back(tool.name);
    EXPECT_EQ(names, (std::vector<std::string>{"copy_file", "execute_command", "write_file", "execute_applescript"}));
}

TEST(ToolActions, ExecuteReportsInvalidArgumentsUnknownToolsSuccessAndFailure)
{
    ToolRegistry registry;
    registry.registerTool(std::make_shared<EchoTool>("echo"));
    using Outcome = ToolRun::Outcome;
    struct Case {
        const char* name;
        const char* arguments;
        Outcome outcome;
        const char* dialog;
        const char* value;
        const char* content;
    };
    const Case cases[] = {
        {"echo", R"({"text":"hi"})", Outcome::Succeeded, "Tool 'echo' executed successfully", "hi\n", "hi"},
        {"echo", "{}", Outcome::ToolFailed, "Tool 'echo' failed: ", nullptr, nullptr}, // the tool's own error follows
        {"echo", "[1,2]", Outcome::InvalidArguments, "Invalid JSON arguments", "", ""},
        {"echo", "{", Outcome::InvalidArguments, "Invalid JSON arguments", "", ""},
        {"nope", "{}", Outcome::UnknownTool, "Tool 'nope' failed: Tool 'nope' not found\n", "Tool 'nope' not found\n",
         "Tool 'nope' not found"},
    };
    for (const Case& c : cases) {
        const ToolRun run = QCoro::waitFor(executeTool(registry, c.name, c.arguments));
        EXPECT_EQ(run.outcome, c.outcome) << c.name << " " << c.arguments;
        EXPECT_TRUE(run.result.dialog.startsWith(c.dialog)) << run.result.dialog.toStdString();
        if (c.value) {
            EXPECT_EQ(run.result.value, c.value) << c.arguments;
            EXPECT_EQ(run.content.toStdString(), c.content) << c.arguments;
        }
    }
}

} // namespace
