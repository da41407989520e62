// The yardstick of VK_CMD.exe's start-up: a console program that does nothing.
int main()
{
    return 0;
}
