package com.vexlo.runtime;

import java.io.ByteArrayInputStream;
import java.io.InputStream;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;

/**
 * The class whose {@code main} the native launcher calls inside the service's child process. It
 * sets up the log files and the stop protocol and then runs the configured main class.
 *
 * <p>The argument layout is described in {@link LaunchArguments}. Standard input belongs to the stop
 * protocol: the application sees an empty {@code System.in}.
 *
 * <p>Failures are reported as exceptions escaping this method. The native launcher then logs the
 * pending exception, prints its stack trace and ends the process with exit code 1; plain
 * {@code java} does the same. An exception thrown by the application's main is rethrown unchanged.
 */
public final class WinLauncher {

    private WinLauncher() {
    }

    public static void main(String[] args) throws Throwable {
        LaunchArguments launch = LaunchArguments.parse(args, LaunchArguments.serviceNameSlotInUse(
                System.getProperty(LaunchArguments.SERVICE_NAME_ARG_PROPERTY)));
        LogRedirection.apply(launch.errorLog, launch.outputLog, launch.appendLogs,
                RotatingLog.Rotation.parse(System.getProperty(RotatingLog.PROPERTY), System.err));
        if (launch.serviceName != null) {
            System.setProperty(ServiceRuntime.SERVICE_NAME_PROPERTY, launch.serviceName);
        }
        InputStream stdin = System.in;
        System.setIn(new ByteArrayInputStream(new byte[0]));
        ClassLoader loader = contextLoader();
        StopMethod stopMethod = StopMethod.configured(System.getProperty(StopMethod.PROPERTY), System.err);
        // Listen before loading the application, so that a stop during a slow start is honoured.
        StopProtocol.listen(stdin, stopMethod, loader);

        Method main = findMain(launch.mainClass);
        if (stopMethod != null) {
            // Said at the start, not only when the service is stopped.
            try {
                stopMethod.find(loader);
            } catch (ReflectiveOperationException | LinkageError e) {
                System.err.println("vexlo: " + stopMethod + " cannot be called: " + e);
            }
        }
        try {
            main.invoke(null, (Object) launch.applicationArguments());
        } catch (InvocationTargetException e) {
            throw e.getCause() != null ? e.getCause() : e;
        }
    }

    /** Finds {@code public static void main(String[])} of the named class via the context class loader. */
    static Method findMain(String className) throws ClassNotFoundException, NoSuchMethodException {
        ClassLoader loader = contextLoader();
        Class<?> mainClass;
        try {
            mainClass = Class.forName(className, false, loader);
        } catch (ClassNotFoundException e) {
            throw new ClassNotFoundException("vexlo: main class " + className + " not found on the class path "
                    + System.getProperty("java.class.path"), e);
        }
        Method main;
        try {
            main = mainClass.getMethod("main", String[].class);
        } catch (NoSuchMethodException e) {
            throw missingMain(className);
        }
        if (!Modifier.isStatic(main.getModifiers()) || main.getReturnType() != void.class) {
            throw missingMain(className);
        }
        try {
            // A public main in a class that is not public is accepted, as plain java accepts it.
            main.setAccessible(true);
        } catch (RuntimeException e) {
            // leave it to invoke() to report
        }
        return main;
    }

    private static ClassLoader contextLoader() {
        ClassLoader loader = Thread.currentThread().getContextClassLoader();
        return loader != null ? loader : ClassLoader.getSystemClassLoader();
    }

    private static NoSuchMethodException missingMain(String className) {
        return new NoSuchMethodException("vexlo: main class " + className
                + " has no method public static void main(String[])");
    }
}
