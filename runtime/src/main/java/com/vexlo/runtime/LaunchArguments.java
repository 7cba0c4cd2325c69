package com.vexlo.runtime;

import java.util.Arrays;

/**
 * The argument array the native launcher hands to {@link WinLauncher#main(String[])}, decoded.
 *
 * <p>Layout: five fixed values, then (when present) the service name, then the application's own
 * arguments:
 * <pre>
 *   [0] "true" when the launcher runs in windowed (GUI runtime) mode, else "false"
 *   [1] the application's main class
 *   [2] the error log file, or "" for none ("$" + name: that file in java.io.tmpdir)
 *   [3] the output log file, or "" for none (the same)
 *   [4] "true" to append to the log files, "false" to truncate them at start
 *   [5] the service name
 *   [6...] the application arguments
 * </pre>
 *
 * <p>The native side puts the service name at index 5 whenever its child process has any program
 * argument at all, and the service supervisor always starts the child with the service name first.
 * Nothing in the array itself marks whether index 5 is a service name, so the rule is: index 5 is
 * the service name whenever the array is longer than the fixed part. A hand-started child without
 * any program argument can say so with {@code -Dvexlo.serviceNameArg=false}; then every element
 * after the fixed part goes to the application.
 */
final class LaunchArguments {

    /** Number of values that are always present. */
    static final int FIXED_COUNT = 5;

    /** System property that switches the service name slot off when set to "false". */
    static final String SERVICE_NAME_ARG_PROPERTY = "vexlo.serviceNameArg";

    final boolean windowedMode;
    final String mainClass;
    /** Error log file name, or null when System.err stays as it is. */
    final String errorLog;
    /** Output log file name, or null when System.out stays as it is. */
    final String outputLog;
    final boolean appendLogs;
    /** Service name, or null when the launcher handed none. */
    final String serviceName;
    private final String[] applicationArguments;

    private LaunchArguments(boolean windowedMode, String mainClass, String errorLog, String outputLog,
            boolean appendLogs, String serviceName, String[] applicationArguments) {
        this.windowedMode = windowedMode;
        this.mainClass = mainClass;
        this.errorLog = errorLog;
        this.outputLog = outputLog;
        this.appendLogs = appendLogs;
        this.serviceName = serviceName;
        this.applicationArguments = applicationArguments;
    }

    /** A fresh copy of the arguments that the application's main receives. */
    String[] applicationArguments() {
        return applicationArguments.clone();
    }

    /** Whether the service name slot is in use, judged from the system property value (null = default). */
    static boolean serviceNameSlotInUse(String propertyValue) {
        return !"false".equalsIgnoreCase(trim(propertyValue));
    }

    /**
     * Decodes the launcher's argument array.
     *
     * @param args            the array given to the launcher class
     * @param serviceNameSlot whether index 5, when present, is the service name
     * @throws IllegalArgumentException when the fixed part is incomplete or names no main class
     */
    static LaunchArguments parse(String[] args, boolean serviceNameSlot) {
        if (args == null || args.length < FIXED_COUNT) {
            throw new IllegalArgumentException("expected at least " + FIXED_COUNT
                    + " launcher arguments (windowed mode, main class, error log, output log, append),"
                    + " got " + (args == null ? 0 : args.length) + ": " + Arrays.toString(args));
        }
        String mainClass = trim(args[1]).replace('/', '.');
        if (mainClass.isEmpty()) {
            throw new IllegalArgumentException("no main class configured (launcher argument 1 is empty)");
        }
        int next = FIXED_COUNT;
        String serviceName = null;
        if (serviceNameSlot && args.length > next) {
            serviceName = nullToEmpty(args[next]);
            next++;
        }
        String[] appArgs = new String[args.length - next];
        for (int i = 0; i < appArgs.length; i++) {
            appArgs[i] = nullToEmpty(args[next + i]);
        }
        return new LaunchArguments(flag(args[0]), mainClass, fileName(args[2]), fileName(args[3]),
                flag(args[4]), serviceName, appArgs);
    }

    private static boolean flag(String value) {
        return "true".equalsIgnoreCase(trim(value));
    }

    private static String fileName(String value) {
        String name = trim(value);
        return name.isEmpty() ? null : name;
    }

    private static String trim(String value) {
        return value == null ? "" : value.trim();
    }

    private static String nullToEmpty(String value) {
        return value == null ? "" : value;
    }
}
