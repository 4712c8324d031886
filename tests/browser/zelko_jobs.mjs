// Calls onUrl with each data:text/zlk address that Zelko's page script loads
// in the pages of a playwright browser context. The script's frame is removed
// at once and Playwright does not report data: URLs, so the address is taken
// where the script sets it.
export async function catchZelkoJobs(context, onUrl) {
  await context.exposeFunction('__zelkoJob', onUrl);
  await context.addInitScript(() => {
    const own = Object.getOwnPropertyDescriptor(HTMLIFrameElement.prototype, 'src');
    Object.defineProperty(HTMLIFrameElement.prototype, 'src', {
      configurable: true,
      get() { return own.get.call(this); },
      set(value) {
        if (String(value).startsWith('data:text/zlk')) window.__zelkoJob(String(value));
        else own.set.call(this, value);
      },
    });
  });
}
