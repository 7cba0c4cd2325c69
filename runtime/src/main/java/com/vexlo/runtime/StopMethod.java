package com.vexlo.runtime;

import java.io.PrintStream;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.Arrays;

/**
 * The configured stop method: a public static method the Java side calls on the stop request, so
 * that an application without a stop handler can still end its work (for example a server's
 * {@code main} with the argument {@code "stop"}).
 *
 * <p>The native launcher hands it on in the system property {@code vexlo.stop}: lines of the class
 * name, the method name and then the arguments, one a line. The method takes {@code String[]}, or
 * nothing (then the arguments are not passed). It runs on a thread of its own before the stop
 * handlers; the stop timeout's watchdog also bounds it, so a method that never returns cannot keep
 * the service from stopping. Whatever it throws is printed to {@code System.err} and the stop goes on.
 */
final class StopMethod {

    static final String PROPERTY = "vexlo.stop";

    final String className;
    final String methodName;
    private final String[] arguments;

    private StopMethod(String className, String methodName, String[] arguments) {
        this.className = className;
        this.methodName = methodName;
        this.arguments = arguments;
    }

    /** The stop method the property names, or null when it names none (a malformed value is reported). */
    static StopMethod configured(String value, PrintStream warnings) {
        if (value == null || value.isEmpty()) {
            return null;
        }
        String[] lines = value.split("\n", -1);
        if (lines.length < 2 || lines[0].trim().isEmpty() || lines[1].trim().isEmpty()) {
            warnings.println("vexlo: ignoring " + PROPERTY + "=" + value.replace("\n", "\\n")
                    + " (expected lines of a class, a method and its arguments)");
            return null;
        }
        return new StopMethod(lines[0].trim(), lines[1].trim(), Arrays.copyOfRange(lines, 2, lines.length));
    }

    String[] arguments() {
        return arguments.clone();
    }

    /**
     * The public static method taking {@code String[]}, else the one taking nothing; the class is
     * not initialised here.
     */
    Method find(ClassLoader loader) throws ReflectiveOperationException {
        Class<?> type = Class.forName(className, false, loader);
        for (Class<?>[] parameters : new Class<?>[][] {{String[].class}, {}}) {
            try {
                Method method = type.getMethod(methodName, parameters);
                if (Modifier.isStatic(method.getModifiers())) {
                    method.setAccessible(true);
                    return method;
                }
            } catch (NoSuchMethodException e) {
                // try the next form
            }
        }
        throw new NoSuchMethodException("vexlo: " + this + " is not a public static method taking String[] or"
                + " nothing");
    }

    /** Calls the method on a thread of its own and waits for it; failures go to {@code errors}. */
    void call(ClassLoader loader, PrintStream errors) {
        Thread thread = new Thread(() -> invoke(loader, errors), "vexlo-stop-method");
        thread.setContextClassLoader(loader);
        thread.setDaemon(true);
        thread.start();
        boolean interrupted = false;
        while (thread.isAlive()) {
            try {
                thread.join();
            } catch (InterruptedException e) {
                // the stop goes on only once the method has returned, or the watchdog halts the JVM
                interrupted = true;
            }
        }
        if (interrupted) {
            Thread.currentThread().interrupt();
        }
    }

    private void invoke(ClassLoader loader, PrintStream errors) {
        try {
            Method method = find(loader);
            if (method.getParameterCount() == 0) {
                if (arguments.length > 0) {
                    errors.println("vexlo: " + this + " takes no arguments; calling it without "
                            + Arrays.toString(arguments));
                }
                method.invoke(null);
            } else {
                method.invoke(null, (Object) arguments());
            }
        } catch (InvocationTargetException e) {
            report(errors, e.getCause() != null ? e.getCause() : e);
        } catch (ReflectiveOperationException | RuntimeException | LinkageError e) {
            report(errors, e);
        }
    }

    private void report(PrintStream errors, Throwable failure) {
        errors.println("vexlo: " + this + " failed; the stop goes on:");
        failure.printStackTrace(errors);
    }

    @Override
    public String toString() {
        return "the stop method " + className + "." + methodName;
    }
}
