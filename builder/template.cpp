#include "commands.h"

namespace vexlo {
namespace builder {

const char* ConfigurationTemplate() {
  return R"toml(# vexlo-build configuration: turns into a Windows service executable that
# runs a Java application. Build it with
#   vexlo-build build vexlo.toml -o my-service.exe
# docs/configuration.md describes every key. Commented-out keys show an
# example or the default. Relative paths on the target machine are relative
# to the executable's folder; Windows paths may use ${VARIABLE} expansions.

[service]
# Name in the service control manager (at most 256 characters, no / or \).
name = "My Service"
description = "My Java application, run as a Windows service"
# "auto": the install command registers automatic start; "delayed-auto":
# automatic, shortly after the other automatic services; "demand": by hand.
start = "auto"
# Services that must be running first.
# dependencies = ["Tcpip"]
# The account the service runs as: "LocalSystem", "LocalService",
# "NetworkService", "virtual" (NT SERVICE\<name>) or a user (".\\name",
# "DOMAIN\\name", "name@domain"), whose password the install command reads
# from VEXLO_SERVICE_PASSWORD or standard input.
# account = "LocalService"
# What the system does when the service fails: up to three actions
# ({ restart = "1m" }, { run = "command line" }, "none"), the last one
# repeating, and when the failure count starts again.
# recovery = { actions = [{ restart = "10s" }, { restart = "1m" }, "none"], reset-after = "1d" }
# How long a stop may take before the launcher ends the application's
# processes ("90s", "5m", "1h"); the Java side gets 5 s less to end itself.
# stop-timeout = "30s"
# How long a machine shutdown waits for the service ("0s": off).
# preshutdown-timeout = "60s"
# How long -start watches the service before it calls the start good: a
# start that fails within it is reported with the application's last lines
# ("0s": -start does not wait).
# start-check = "3s"
# Environment variables for the application, set in this order and expanded
# (a value may use an earlier one; "" removes a variable).
# environment = { APP_HOME = '%VEXLO_EXEDIR%app', APP_CONF = '${APP_HOME}\conf' }

[java]
# The application's class with main(String[]).
main-class = "com.example.Main"
# Class path entries: { archive = "app.jar" }, { directory = "classes" },
# { scan = "lib" } (every jar and zip in it), { env = "EXTRA_CLASSPATH" }.
# required = true stops the launcher with a message when the entry is missing.
class-path = [
  { archive = "app.jar", required = true },
  # { scan = "lib" },
]
# Arguments for the application: an array, or one string split like a
# command line.
# arguments = ["--port", "8080"]
# A public static method the Java side calls on the stop request, before the
# stop handlers and System.exit, for an application with no stop handler.
# stop = { class = "com.example.Main", method = "main", arguments = ["stop"] }
# The launcher's own Java classes: "embedded" (carried in the executable),
# "beside" (<installation-directory>\.tavrelium\tvlruntime.jar) or "none".
# runtime = "embedded"

[jvm]
# options = ["-Xmx512m", "-Dfile.encoding=UTF-8"]
# Let -J<option> arguments of the service reach the JVM.
# allow-j-arguments = true
# VM type folder below the runtime's bin folder to try first.
# vm-type = "server"

[search]
# Where the launcher looks for a Java runtime, in order (after a preferred
# location file): { registry = true }, { env = "JAVA_HOME" }, { path = true },
# { dir = "jre" } (retry = "always" also retries it without the version test).
sequence = [
  { dir = "jre" },
  { env = "JAVA_HOME" },
  { registry = true },
]
min-version = "1.8"
# max-version = ""
# allow-prerelease = false
# jdk-required = false

[paths]
# working-directory = "."
# installation-directory = "..\\"
# native-libraries = ["lib\\native"]

[instance]
# single = false
# namespace = "local"

[logs]
# Files the Java side sends standard error and output to.
error = "logs\\error.log"
# output = "logs\\output.log"
append = true
# The service log: what the service did (start, stop, the child's end) and
# every line the application writes that no file above takes. "" turns it
# off; the default is logs\<executable name>.service.log. At its size limit
# ("64KB", "10MB", "1GB") it becomes <name>.1 and a new file begins.
# service = "logs\\my-service.service.log"
# service-max-size = "10MB"
# The output and error files roll over at max-size into <name>.1 ... <name>.<keep>.
# rotate = { max-size = "10MB", keep = 5 }

[messages]
# Message boxes instead of standard error (needs start = "demand").
# dialog = false
# caption = "Error"
# no-jvm = "No Java runtime found. Please install Java 17 and set JAVA_HOME."

# What Windows shows of the executable: Explorer's properties, Task Manager,
# the icon. Without a manifest key the executable gets a default manifest
# (Windows 10/11, asInvoker, long paths).
# [exe]
# version = "1.0.0.0"
# product-name = "My Product"
# company = "My Company"
# description = "My Java service"
# copyright = "Copyright 2026 My Company"
# icon = "app.ico"
# manifest = "app.manifest"

# Files carried in the executable and extracted for each start; jars among
# them are on the class path.
# [[files]]
# source = "target/app.jar"   # on this machine, relative to this file
# name = "app.jar"            # in the executable (one folder level at most)

# Texts for users of another locale (only the description is localised).
# [locales.de]
# description = "Meine Java-Anwendung als Windows-Dienst"
)toml";
}

}  // namespace builder
}  // namespace vexlo
